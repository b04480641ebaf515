#pragma once

#include "core/AccessCode.h"
#include "transfer/ParameterBlock.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

// TForm5, "High class constitution": the parameters the controller keeps in
// its own memory. Created once at start-up, shown modally by SETUP; its
// controls keep their values for the whole run. Its two groups stay locked
// until the access code is typed.
class TForm5 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm5(QWidget* parent = nullptr);

    // The parameters as the controls hold them now.
    ControllerParameters parameters() const;
    // Shows received or default parameters, in the fixed order (light last,
    // so the light maximum that scan mode and frequency recompute does not
    // overwrite it). Setting the type here does not run the type-change rule.
    // A light value that came from the controller is kept when the dialog
    // is shown next, until clock, scan mode or scan frequency change.
    void showParameters(const ControllerParameters& parameters, bool fromController = false);
    // After a good READ PARA reply: "num", "width" and "high" go to 0 first.
    void clearGeometry();
    // The module type chosen in "Download setup".
    int downloadType() const;
    bool unlocked() const;
    // While a controller command runs, the commands here take no input.
    void setCommandRunning(bool running);

  signals:
    void saveRequested();      // "save parameter"
    void readRequested();      // "read parameter": the main window's READ PARA
    void downloadRequested();  // "Download"

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The light maximum for the label; light itself takes it unless keep.
    void recomputeLight(bool keepLight = false);
    void typeChanged(int type);
    void updateLock();

    // The dialog lives for the whole run, and so does the typed window.
    AccessCode m_accessCode;
    bool m_unlocked = false;
    bool m_commandRunning = false;
    bool m_lightFromController = false;
    const QEvent* m_lastKey = nullptr;  // the key press already counted
    QGroupBox* GroupBox1;               // "Parameter"
    QGroupBox* GroupBox2;               // "Download setup"
    QSpinBox* Edit3;                    // num
    QSpinBox* Edit4;                    // width
    QSpinBox* Edit5;                    // high
    QComboBox* ComboBox2;               // clock
    QComboBox* ComboBox3;               // bps
    QSpinBox* Edit7;                    // scan mode
    QSpinBox* Edit1;                    // scan frequency
    QSpinBox* SpinEdit1;                // light
    QLabel* Label10;                    // "(max" N ")"
    QCheckBox* CheckBox8;               // 8 bit swap
    QCheckBox* CheckBox2;               // data com
    QCheckBox* CheckBox1;               // oe com
    QComboBox* ComboBox4;               // Translate
    QCheckBox* CheckBox3;               // Auto switch
    QCheckBox* CheckBox5;               // Saturday shut down
    QCheckBox* CheckBox6;               // Sunday shut down
    QCheckBox* CheckBox4;               // 自动关机, hidden, never sent
    QSpinBox* SpinEdit2;                // on hour
    QSpinBox* SpinEdit3;                // on minute
    QSpinBox* SpinEdit4;                // on second (hidden)
    QSpinBox* SpinEdit5;                // off hour
    QSpinBox* SpinEdit6;                // off minute
    QSpinBox* SpinEdit7;                // off second (hidden)
    QCheckBox* CheckBox7;               // English format
    QComboBox* ComboBox1;               // Type:
    QPushButton* Button1;               // save parameter
    QPushButton* Button4;               // read parameter
    QPushButton* Button3;               // Download
};
