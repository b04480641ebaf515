#include "app/PictureImportDialog.h"

#include "transfer/ModuleType.h"
#include "transfer/PagePreparation.h"
#include "transfer/SignView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The sign view of the dialog fits this box.
constexpr int kViewWidth = 720;
constexpr int kViewHeight = 260;

// One pixel a LED drawn as dots, as large as room allows.
QImage zoomedLeds(const QImage& leds, QSize room) {
    const QSize screen = leds.size();
    const int zoom = std::clamp(std::min(room.width() / std::max(screen.width(), 1),
                                         room.height() / std::max(screen.height(), 1)),
                                1, maxZoom(screen));
    QImage shown = zoomView(leds, zoom, ViewStyle::Dots);
    if (shown.width() > room.width() || shown.height() > room.height()) {
        shown = shown.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return shown;
}

}  // namespace

FitChooser::FitChooser(QWidget* parent) : QWidget(parent) {
    m_mode = new QComboBox;
    m_mode->setObjectName(QStringLiteral("FitMode"));
    m_mode->addItem(tr("stretch to the sign"), int(FitMode::Stretch));
    m_mode->addItem(tr("fit inside, black bars"), int(FitMode::Fit));
    m_mode->addItem(tr("crop to fill"), int(FitMode::Crop));
    m_invert = new QCheckBox(tr("invert (light text on dark)"));
    m_invert->setObjectName(QStringLiteral("FitInvert"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(tr("Picture:")));
    row->addWidget(m_mode);
    row->addWidget(m_invert);
    row->addStretch(1);
    connect(m_mode, &QComboBox::currentIndexChanged, this, &FitChooser::changed);
    connect(m_invert, &QCheckBox::toggled, this, &FitChooser::changed);
}

FitOptions FitChooser::options() const {
    return {static_cast<FitMode>(m_mode->currentData().toInt()), m_invert->isChecked()};
}

PictureImportDialog::PictureImportDialog(const QImage& picture, const Settings& settings,
                                         QWidget* parent)
    : QDialog(parent), m_picture(picture), m_settings(settings) {
    setObjectName(QStringLiteral("PictureImportDialog"));
    setWindowTitle(tr("LOADFILE: picture"));
    m_chooser = new FitChooser;
    m_view = new QLabel;
    m_view->setObjectName(QStringLiteral("FitView"));
    m_view->setAlignment(Qt::AlignCenter);
    m_view->setMinimumSize(kViewWidth, kViewHeight);
    m_view->setStyleSheet(QStringLiteral("background: black"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_chooser);
    column->addWidget(m_view, 1);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_chooser, &FitChooser::changed, this, &PictureImportDialog::showResult);
    showResult();
}

void PictureImportDialog::showResult() {
    const Settings& s = m_settings;
    const QSize screen(s.WIDTH, s.HEIGHT);
    const FitOptions chosen = options();
    // As the page will be sent: the default stretches the picture itself.
    const QImage page = chosen.isDefault() ? m_picture : fitPicture(m_picture, screen, chosen);
    m_leds = signLeds(stretchToScreen(page, screen, s.ADJUST), typeFamily(s.TYPE).depth, screen,
                      {s.RG_SWAP, s.COLOR_SWAP});
    m_view->setPixmap(QPixmap::fromImage(zoomedLeds(m_leds, QSize(kViewWidth, kViewHeight))));
}

QImage signViewOf(const QImage& page, const Settings& s, QSize room) {
    const QSize screen(s.WIDTH, s.HEIGHT);
    return zoomedLeds(signLeds(stretchToScreen(page, screen, s.ADJUST), typeFamily(s.TYPE).depth,
                               screen, {s.RG_SWAP, s.COLOR_SWAP}),
                      room);
}
