#include "app/SignViewBar.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStandardItemModel>
#include <QWheelEvent>

#include <algorithm>

SignViewBar::SignViewBar(bool withPlay, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SignViewBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    row->addWidget(new QLabel(tr("Zoom"), this));
    m_zoom = new QComboBox(this);
    m_zoom->setObjectName(tr("Zoom"));
    m_zoom->addItem(tr("fit"), kFit);
    m_zoom->addItem(QStringLiteral("1:1"), 1);
    for (int zoom = 2; zoom <= kMaxZoom; ++zoom) {
        m_zoom->addItem(QStringLiteral("%1×").arg(zoom), zoom);
    }
    m_zoom->setToolTip(tr("Ctrl + wheel, Ctrl + and Ctrl - step the zoom"));
    row->addWidget(m_zoom);
    m_sign = new QRadioButton(tr("sign"), this);
    m_sign->setObjectName(QStringLiteral("SignMode"));
    m_sign->setToolTip(tr("The LEDs as the sign lights them from the bytes sent"));
    m_sign->setChecked(true);
    m_picture = new QRadioButton(tr("picture"), this);
    m_picture->setObjectName(QStringLiteral("PictureMode"));
    m_picture->setToolTip(tr("The page's picture stretched to the sign"));
    row->addSpacing(12);
    row->addWidget(m_sign);
    row->addWidget(m_picture);
    connect(m_zoom, &QComboBox::currentIndexChanged, this, &SignViewBar::zoomChanged);
    connect(m_sign, &QRadioButton::toggled, this, &SignViewBar::modeChanged);

    if (withPlay) {
        m_playPage = new QPushButton(tr("play"), this);
        m_playPage->setObjectName(QStringLiteral("PlayPage"));
        m_playPage->setToolTip(tr("The page's entry effect, then the page"));
        m_playList = new QPushButton(tr("play list"), this);
        m_playList->setObjectName(QStringLiteral("PlayList"));
        m_playList->setToolTip(tr("Every page in order, with its effect, speed and display time"));
        m_approximate = new QLabel(this);
        m_approximate->setObjectName(QStringLiteral("Approximate"));
        row->addSpacing(12);
        row->addWidget(m_playPage);
        row->addWidget(m_playList);
        row->addWidget(m_approximate, 1);
        for (QPushButton* button : {m_playPage, m_playList}) {
            button->setAutoDefault(false);
        }
        connect(m_playPage, &QPushButton::clicked, this, &SignViewBar::playPageClicked);
        connect(m_playList, &QPushButton::clicked, this, &SignViewBar::playListClicked);
    } else {
        row->addStretch(1);
    }

    const auto step = [this](const QKeySequence& keys, int direction) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, direction] { stepZoom(direction); });
    };
    step(QKeySequence::ZoomIn, 1);
    step(QKeySequence(Qt::CTRL | Qt::Key_Equal), 1);
    step(QKeySequence::ZoomOut, -1);
}

int SignViewBar::chosenZoom() const {
    return m_zoom->currentData().toInt();
}

void SignViewBar::chooseZoom(int zoom) {
    const int index = m_zoom->findData(std::clamp(zoom, 0, kMaxZoom));
    if (index >= 0) {
        m_zoom->setCurrentIndex(index);
    }
}

void SignViewBar::setZoomLimit(int largest) {
    auto* model = qobject_cast<QStandardItemModel*>(m_zoom->model());
    for (int i = 0; i < m_zoom->count(); ++i) {
        const int zoom = m_zoom->itemData(i).toInt();
        if (QStandardItem* item = model ? model->item(i) : nullptr) {
            item->setEnabled(zoom <= largest);
        }
    }
    if (chosenZoom() > largest) {
        chooseZoom(largest);
    }
}

void SignViewBar::stepZoom(int direction) {
    const int shown = m_shownZoom ? m_shownZoom() : std::max(1, chosenZoom());
    const int zoom = std::clamp(shown + direction, 1, kMaxZoom);
    if (direction > 0 && zoom <= shown) {
        return;  // fit already shows it larger than any step
    }
    auto* model = qobject_cast<QStandardItemModel*>(m_zoom->model());
    const int index = m_zoom->findData(zoom);
    if (model && index >= 0 && !model->item(index)->isEnabled()) {
        return;
    }
    chooseZoom(zoom);
}

void SignViewBar::watchWheel(QWidget* widget) {
    widget->installEventFilter(this);
}

bool SignViewBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int delta = wheel->angleDelta().y();
            if (delta != 0) {
                stepZoom(delta > 0 ? 1 : -1);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

SignViewBar::Mode SignViewBar::mode() const {
    return m_sign->isChecked() ? Mode::Sign : Mode::Picture;
}

void SignViewBar::showPlaying(bool playing, bool wholeList, const QString& what) {
    if (!m_playPage) {
        return;
    }
    m_playPage->setText(playing && !wholeList ? tr("stop") : tr("play"));
    m_playList->setText(playing && wholeList ? tr("stop") : tr("play list"));
    m_approximate->setText(playing ? tr("approximate: %1").arg(what) : QString());
}
