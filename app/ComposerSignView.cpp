#include "app/ComposerSignView.h"

#include "app/SignViewBar.h"
#include "transfer/PagePreparation.h"
#include "transfer/SignView.h"

#include <QComboBox>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

// The pages under one another, each with its number above it.
class PagesCanvas : public QWidget {
  public:
    explicit PagesCanvas(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("ComposedPages"));
    }

    void setPages(const std::vector<QImage>& leds, ViewStyle style, int zoom) {
        m_leds = leds;
        m_style = style;
        m_zoom = zoom;
        const QSize page = m_leds.empty() ? QSize() : m_leds.front().size() * m_zoom;
        resize(page.width() + 2 * kMargin, static_cast<int>(m_leds.size()) * pitch());
        update();
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), QColor(48, 48, 48));
        painter.setPen(QColor(220, 220, 220));
        for (size_t i = 0; i < m_leds.size(); ++i) {
            const int top = static_cast<int>(i) * pitch();
            const QRect band(0, top, width(), pitch());
            if (!band.intersects(event->rect())) {
                continue;
            }
            painter.drawText(QRect(kMargin, top, width(), labelHeight()), Qt::AlignVCenter,
                             tr("page %1").arg(i + 1));
            // Only the pages in sight are drawn, at the zoom.
            painter.drawImage(QPoint(kMargin, top + labelHeight()),
                              zoomView(m_leds[i], m_zoom, m_style));
        }
    }

  private:
    static constexpr int kMargin = 4;
    int labelHeight() const { return fontMetrics().height() + 4; }
    int pitch() const {
        const int page = m_leds.empty() ? 0 : m_leds.front().height() * m_zoom;
        return labelHeight() + page + kMargin;
    }

    std::vector<QImage> m_leds;
    ViewStyle m_style = ViewStyle::Dots;
    int m_zoom = 1;
};

ComposerSignView::ComposerSignView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ComposerSignView"));
    m_bar = new SignViewBar(false, this);
    m_layout = new QComboBox(m_bar);
    m_layout->setObjectName(QStringLiteral("SignLayout"));
    m_layout->addItems({tr("ONE LINE"), tr("MANY LINE")});
    m_layout->setToolTip(tr("Which CHANGE the pages below show"));
    m_bar->layout()->addWidget(m_layout);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("SignNote"));
    m_note->setWordWrap(true);
    m_area = new QScrollArea(this);
    m_area->setWidgetResizable(false);
    m_area->setMinimumHeight(120);
    m_area->setBackgroundRole(QPalette::Dark);
    m_canvas = new PagesCanvas(m_area);
    m_area->setWidget(m_canvas);
    m_bar->watchWheel(m_area->viewport());
    m_bar->setShownZoom([this] { return shownZoom(); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_bar);
    column->addWidget(m_note);
    column->addWidget(m_area, 1);
    connect(m_bar, &SignViewBar::zoomChanged, this, &ComposerSignView::relayout);
    connect(m_bar, &SignViewBar::modeChanged, this, &ComposerSignView::decode);
    connect(m_layout, &QComboBox::currentIndexChanged, this, &ComposerSignView::layoutChanged);
}

int ComposerSignView::layoutShown() const {
    return m_layout->currentIndex();
}

void ComposerSignView::showLayout(int layout) {
    m_layout->setCurrentIndex(layout);
}

void ComposerSignView::showPages(const std::vector<QImage>& pages, const Settings& settings,
                                 const QString& note) {
    m_pictures = pages;
    m_settings = settings;
    m_note->setText(note);
    m_note->setVisible(!note.isEmpty());
    decode();
}

void ComposerSignView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

int ComposerSignView::shownZoom() const {
    const QSize screen(m_settings.WIDTH, m_settings.HEIGHT);
    const int largest = maxZoom(screen, SignViewBar::kMaxZoom);
    if (m_bar->chosenZoom() != SignViewBar::kFit) {
        return std::min(m_bar->chosenZoom(), largest);
    }
    // Fit: the pages as wide as the view allows.
    const int room =
        m_area->viewport()->width() - 8 - m_area->verticalScrollBar()->sizeHint().width();
    return std::clamp(room / std::max(1, screen.width()), 1, largest);
}

QImage ComposerSignView::pageShown(size_t i) const {
    return i < m_leds.size() ? m_leds[i] : QImage();
}

void ComposerSignView::decode() {
    const QSize screen(m_settings.WIDTH, m_settings.HEIGHT);
    const bool sign = m_bar->mode() == SignViewBar::Mode::Sign;
    m_leds.clear();
    m_leds.reserve(m_pictures.size());
    for (const QImage& picture : m_pictures) {
        m_leds.push_back(sign ? pictureLeds(picture, m_settings) : picture);
    }
    m_bar->setZoomLimit(maxZoom(screen, SignViewBar::kMaxZoom));
    relayout();
}

void ComposerSignView::relayout() {
    const bool sign = m_bar->mode() == SignViewBar::Mode::Sign;
    m_canvas->setPages(m_leds, sign ? ViewStyle::Dots : ViewStyle::Squares, shownZoom());
}
