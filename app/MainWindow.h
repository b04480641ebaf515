#pragma once

#include "app/Settings.h"

#include <QMainWindow>

#include <functional>

class QCheckBox;
class QComboBox;
class QSpinBox;

// The main window. Its handlers read the controls, call the core and show
// what the core reports.
class TTwpMain : public QMainWindow {
    Q_OBJECT
  public:
    using MessageFn = std::function<void(const QString& text, const QString& caption)>;

    // folder: the program folder, where ck.ini lives. showMessage shows a
    // modal message (a message box unless given; tests record the texts).
    explicit TTwpMain(const QString& folder, MessageFn showMessage = {}, QWidget* parent = nullptr);

    // The ten settings as the controls hold them now.
    Settings settings() const;
    void setSettings(const Settings& settings);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* createSettingsRow();
    void readSettings();

    QString m_folder;
    MessageFn showMessage;
    QSpinBox* Edit3;       // NUM
    QSpinBox* Edit4;       // WIDTH
    QSpinBox* Edit5;       // HEIGHT
    QSpinBox* Edit6;       // COMM
    QSpinBox* Edit7;       // SCAN
    QCheckBox* CheckBox1;  // RG-SWAP
    QCheckBox* CheckBox2;  // COLOR-SWAP
    QCheckBox* CheckBox3;  // ADJUST
    QComboBox* ComboBox1;  // TYPE
    QComboBox* ComboBox2;  // BPS
};
