#pragma once

#include "core/Settings.h"

#include <QGroupBox>

class PortChooser;
class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

// The row of the ten screen and link settings at the top of the main
// window, with READ PARA at its right end. Every command reads the settings
// from here at the moment it runs.
class SettingsRow : public QGroupBox {
    Q_OBJECT
  public:
    explicit SettingsRow(QWidget* parent = nullptr);

    // The ten settings as the controls hold them now.
    Settings settings() const;
    void setSettings(const Settings& settings);
    // The port chooser, part of these settings, for the window to place.
    PortChooser* portChooser() const { return m_port; }
    // READ PARA may be pressed (not while its port is in use).
    void setReadParaEnabled(bool enabled);

  signals:
    void screenSizeChanged();  // WIDTH or HEIGHT
    void signChanged();        // RG-SWAP, COLOR-SWAP, ADJUST or TYPE: what the LEDs show
    void changed();            // any of the ten
    void readParaClicked();    // READ PARA
    void portChosen();         // the port chooser

  private:
    QSpinBox* Edit3;       // NUM
    QSpinBox* Edit4;       // WIDTH
    QSpinBox* Edit5;       // HEIGHT
    QSpinBox* Edit6;       // COMM
    PortChooser* m_port;   // the port by its device path
    QSpinBox* Edit7;       // SCAN
    QCheckBox* CheckBox1;  // RG-SWAP
    QCheckBox* CheckBox2;  // COLOR-SWAP
    QCheckBox* CheckBox3;  // ADJUST
    QComboBox* ComboBox1;  // TYPE
    QComboBox* ComboBox2;  // BPS
    QPushButton* BitBtn2;  // READ PARA
};
