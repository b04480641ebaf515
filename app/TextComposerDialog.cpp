#include "app/TextComposerDialog.h"

#include "app/ComposerSignView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kGroupWidth = 240;
constexpr int kMargin = 12;
constexpr int kMemoMinimumHeight = 320;
// The sign view follows the text after this pause in the typing.
constexpr int kSignViewDelayMs = 150;
constexpr int kSignViewHeight = 200;

// Dialog width = memo text width (WIDTH) + ONE LINE group + 40.
constexpr int kExtraWidth = 40;

QLabel* label(const char* text, QWidget* parent) {
    return new QLabel(QCoreApplication::translate("TForm3", text), parent);
}

// The colour list's names, translated; the index is what counts.
QStringList shownColourNames() {
    QStringList names;
    for (const QString& name : colourNames()) {
        names << QCoreApplication::translate("Colours", name.toUtf8().constData());
    }
    return names;
}

[[maybe_unused]] const char* const kColourNames[] = {
    QT_TRANSLATE_NOOP("Colours", "black"),  QT_TRANSLATE_NOOP("Colours", "red"),
    QT_TRANSLATE_NOOP("Colours", "green"),  QT_TRANSLATE_NOOP("Colours", "blue"),
    QT_TRANSLATE_NOOP("Colours", "yellow"), QT_TRANSLATE_NOOP("Colours", "purple"),
    QT_TRANSLATE_NOOP("Colours", "gray"),   QT_TRANSLATE_NOOP("Colours", "white"),
};

}  // namespace

TForm3::TForm3(int height, QWidget* parent)
    : QDialog(parent), m_font(defaultTextFont()), m_colour(defaultTextColour()) {
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(tr("TXT EDIT"));
    setModal(true);

    Memo1 = new QTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAcceptRichText(false);
    // Two-pixel borders around a text area of exactly the wrap width.
    Memo1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Memo1->setLineWidth(2);
    Memo1->document()->setDocumentMargin(0);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Memo1->setMinimumHeight(kMemoMinimumHeight);
    Memo1->setFont(m_font);

    auto* column = new QVBoxLayout;
    column->setSpacing(kMargin);
    column->addWidget(createOneLineGroup());
    column->addWidget(createManyLineGroup());
    column->addWidget(createFontGroup());
    column->addStretch(1);

    // Return in a FILENAME field runs no CHANGE by itself.
    for (QPushButton* button : {Button1, Button2, Button4}) {
        button->setAutoDefault(false);
    }

    auto* top = new QHBoxLayout;
    top->setSpacing(kMargin);
    top->addWidget(Memo1, 0, Qt::AlignTop);
    top->addLayout(column);
    m_signView = new ComposerSignView(this);
    m_signView->setMinimumHeight(kSignViewHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kMargin);
    layout->addLayout(top);
    layout->addWidget(m_signView, 1);
    m_signTimer = new QTimer(this);
    m_signTimer->setSingleShot(true);
    m_signTimer->setInterval(kSignViewDelayMs);
    connect(m_signTimer, &QTimer::timeout, this, &TForm3::refreshSignView);
    watchForSignView();

    // Create: LINE/PAGE from the HEIGHT just read and the default font.
    Edit4->setValue(defaultLinesPerPage(height, m_font));
    applyWordWrap(CheckBox3->isChecked());
}

QGroupBox* TForm3::createOneLineGroup() {
    GroupBox1 = new QGroupBox(tr("ONE LINE"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFixedWidth(kGroupWidth);
    Edit1 = new QLineEdit(QString::fromLatin1(kDefaultTextBase), GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    CheckBox1 = new QCheckBox(tr("CONTINUE"), GroupBox1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setChecked(true);
    Button2 = new QPushButton(tr("CHANGE"), GroupBox1);
    Button2->setObjectName(QStringLiteral("Button2"));
    connect(Button2, &QPushButton::clicked, this, &TForm3::Button2Click);

    auto* grid = new QGridLayout(GroupBox1);
    grid->addWidget(label(QT_TRANSLATE_NOOP("TForm3", "FILENAME"), GroupBox1), 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(CheckBox1, 1, 0, 1, 2);
    grid->addWidget(Button2, 2, 0, 1, 2);
    return GroupBox1;
}

QGroupBox* TForm3::createManyLineGroup() {
    GroupBox2 = new QGroupBox(tr("MANY LINE"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setFixedWidth(kGroupWidth);
    Edit3 = new QLineEdit(QString::fromLatin1(kDefaultTextBase), GroupBox2);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Edit4 = new QSpinBox(GroupBox2);
    Edit4->setObjectName(QStringLiteral("Edit4"));
    Edit4->setRange(kMinLinesPerPage, kMaxLinesPerPage);
    CheckBox2 = new QCheckBox(tr("CENTER"), GroupBox2);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox3 = new QCheckBox(tr("WORDWRAP"), GroupBox2);
    CheckBox3->setObjectName(QStringLiteral("CheckBox3"));
    CheckBox3->setChecked(true);
    connect(CheckBox3, &QCheckBox::clicked, this, &TForm3::CheckBox3Click);
    Button4 = new QPushButton(tr("CHANGE"), GroupBox2);
    Button4->setObjectName(QStringLiteral("Button4"));
    connect(Button4, &QPushButton::clicked, this, &TForm3::Button4Click);

    auto* grid = new QGridLayout(GroupBox2);
    grid->addWidget(label("FILENAME", GroupBox2), 0, 0);
    grid->addWidget(Edit3, 0, 1);
    grid->addWidget(label(QT_TRANSLATE_NOOP("TForm3", "LINE/PAGE"), GroupBox2), 1, 0);
    grid->addWidget(Edit4, 1, 1);
    grid->addWidget(CheckBox2, 2, 0, 1, 2);
    grid->addWidget(CheckBox3, 3, 0, 1, 2);
    grid->addWidget(Button4, 4, 0, 1, 2);
    return GroupBox2;
}

QGroupBox* TForm3::createFontGroup() {
    GroupBox3 = new QGroupBox(tr("FONT SETUP"), this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    GroupBox3->setFixedWidth(kGroupWidth);
    Button1 = new QPushButton(tr("FONT"), GroupBox3);
    Button1->setObjectName(QStringLiteral("Button1"));
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    ComboBox1 = new QComboBox(GroupBox3);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems(shownColourNames());
    ComboBox2 = new QComboBox(GroupBox3);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems(shownColourNames());

    // The size in the sign's unit, pixels, with its points beside.
    m_pixels = new QSpinBox(GroupBox3);
    m_pixels->setObjectName(QStringLiteral("FontPixels"));
    m_pixels->setRange(4, 512);
    m_pixels->setSuffix(tr(" px"));
    m_points = new QLabel(GroupBox3);
    m_points->setObjectName(QStringLiteral("FontPoints"));
    connect(m_pixels, &QSpinBox::valueChanged, this, [this](int pixels) {
        QFont font = m_font;
        font.setPixelSize(pixels);
        setTextFont(font, m_colour);
    });
    m_encoding = new QComboBox(GroupBox3);
    m_encoding->setObjectName(QStringLiteral("Encoding"));
    for (const TextEncoding encoding :
         {TextEncoding::Auto, TextEncoding::Utf8, TextEncoding::Gb18030, TextEncoding::Big5,
          TextEncoding::Latin1}) {
        m_encoding->addItem(encodingName(encoding), int(encoding));
    }
    m_encoding->setItemText(0, tr("auto"));
    connect(m_encoding, &QComboBox::activated, this, [this] {
        const auto chosen = static_cast<TextEncoding>(m_encoding->currentData().toInt());
        Memo1->setPlainText(normalizeLineBreaks(decodeWith(m_bytes, chosen)));
    });

    auto* grid = new QGridLayout(GroupBox3);
    grid->addWidget(Button1, 0, 0, 1, 2);
    grid->addWidget(m_pixels, 1, 0);
    grid->addWidget(m_points, 1, 1);
    grid->addWidget(label(QT_TRANSLATE_NOOP("TForm3", "SHADOW"), GroupBox3), 2, 0);
    grid->addWidget(ComboBox1, 2, 1);
    grid->addWidget(label(QT_TRANSLATE_NOOP("TForm3", "BACK GROUND"), GroupBox3), 3, 0);
    grid->addWidget(ComboBox2, 3, 1);
    grid->addWidget(new QLabel(tr("ENCODING"), GroupBox3), 4, 0);
    grid->addWidget(m_encoding, 4, 1);
    showFontSize();
    return GroupBox3;
}

void TForm3::watchForSignView() {
    const auto later = [this] { m_signTimer->start(); };
    // An option of one group shows that group's pages.
    const auto showing = [this, later](int layout) {
        return [this, later, layout] {
            m_signView->showLayout(layout);
            later();
        };
    };
    connect(Memo1, &QTextEdit::textChanged, this, later);
    connect(CheckBox1, &QCheckBox::toggled, this, showing(0));
    connect(CheckBox2, &QCheckBox::toggled, this, showing(1));
    connect(Edit4, &QSpinBox::valueChanged, this, showing(1));
    connect(CheckBox3, &QCheckBox::toggled, this, later);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, later);
    connect(ComboBox2, &QComboBox::currentIndexChanged, this, later);
    connect(m_signView, &ComposerSignView::layoutChanged, this, later);
}

void TForm3::refreshSignView() {
    m_signTimer->stop();
    const Settings settings = m_context.settings ? m_context.settings() : Settings{};
    const TextLayout layout =
        m_signView->layoutShown() == 0 ? TextLayout::OneLine : TextLayout::ManyLine;
    const QString text = Memo1->document()->toRawText();
    std::vector<QImage> pages;
    QString note;
    if (!text.isEmpty()) {
        const int room =
            m_context.pages ? generatedPageRoom(*m_context.pages) : PageList::kMaxPages;
        const TextComposition composition(text, signScreen(), options(layout), room);
        note = composition.error();
        for (int i = 1; note.isEmpty() && i <= composition.pageCount(); ++i) {
            pages.push_back(composition.page(i));
        }
    }
    m_signView->showPages(pages, settings, note);
}

void TForm3::attach(ComposerContext context) {
    m_context = std::move(context);
}

QSize TForm3::signScreen() const {
    if (!m_context.settings) {
        const Settings defaults;
        return {defaults.WIDTH, defaults.HEIGHT};
    }
    const Settings s = m_context.settings();
    return {s.WIDTH, s.HEIGHT};
}

void TForm3::message(const QString& text) {
    if (m_context.message) {
        m_context.message(text);
    } else {
        QMessageBox::warning(this, windowTitle(), text);
    }
}

void TForm3::applyWordWrap(bool on) {
    Memo1->setLineWrapMode(on ? QTextEdit::FixedPixelWidth : QTextEdit::NoWrap);
    Memo1->setLineWrapColumnOrWidth(memoWrapWidth(signScreen().width()));
}

bool TForm3::prepare(const QString& path) {
    const int width = signScreen().width();
    // The memo: WIDTH + 4 with its scroll bar beside; on a screen too
    // narrow for that it scrolls sideways but still wraps at WIDTH.
    const int scrollBar = Memo1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Memo1);
    int memoWidth = width + 4 + scrollBar;
    QScreen* display = parentWidget() ? parentWidget()->screen() : screen();
    if (display) {
        const int room = display->availableGeometry().width() - kGroupWidth - kExtraWidth;
        memoWidth = std::max(std::min(memoWidth, room), 4 + scrollBar + 1);
    }
    Memo1->setFixedWidth(memoWidth);
    // The text.
    const TextFileLoad load = readTextFile(path);
    if (!load.error.isEmpty()) {
        message(load.error);
        return false;
    }
    Memo1->setPlainText(normalizeLineBreaks(load.text));
    m_bytes = load.bytes;
    m_encoding->setItemText(0, tr("auto: %1").arg(encodingName(load.encoding)));
    m_encoding->setCurrentIndex(0);
    // Dialog width: the memo's text width + the ONE LINE group + 40.
    layout()->activate();
    resize(std::max(memoWidth - 4 + GroupBox1->width() + kExtraWidth, minimumSizeHint().width()),
           sizeHint().height());
    // Centred on the screen.
    if (display) {
        move(display->availableGeometry().center() - rect().center());
    }
    // Re-wrap at the new width.
    applyWordWrap(CheckBox3->isChecked());
    return true;
}

bool TForm3::Open(const QString& path) {
    if (!prepare(path)) {
        return false;
    }
    exec();
    applyWordWrap(CheckBox3->isChecked());
    return true;
}

void TForm3::showFontSize() {
    const QSignalBlocker blocker(m_pixels);
    const int pixels = m_font.pixelSize();
    m_pixels->setValue(pixels);
    const double dpi = logicalDpiY() > 0 ? logicalDpiY() : 96.0;
    m_points->setText(tr("= %1 pt").arg(pixels * 72.0 / dpi, 0, 'f', 1));
}

void TForm3::setTextFont(const QFont& font, const QColor& colour) {
    m_font = composerFont(font);
    m_colour = colour;
    showFontSize();
    Memo1->setFont(m_font);
    applyWordWrap(CheckBox3->isChecked());
    m_signTimer->start();
}

ComposeOptions TForm3::options(TextLayout layout) const {
    ComposeOptions options;
    options.layout = layout;
    options.continuous = CheckBox1->isChecked();
    options.linesPerPage = Edit4->value();
    options.center = CheckBox2->isChecked();
    options.wordWrap = CheckBox3->isChecked();
    options.base = layout == TextLayout::OneLine ? Edit1->text() : Edit3->text();
    options.style.font = m_font;
    options.style.text = m_colour;
    options.style.shadow = colourAt(ComboBox1->currentIndex());
    options.style.background = colourAt(ComboBox2->currentIndex());
    return options;
}

void TForm3::change(TextLayout layout) {
    // The memo's text as it holds it (blocks end in paragraph separators).
    const QString text = Memo1->document()->toRawText();
    if (text.isEmpty()) {
        return;
    }
    if (!m_context.folder.isEmpty()) {
        QDir::setCurrent(m_context.folder);
    }
    ComposeOptions chosen = options(layout);
    if (m_context.pages) {
        chosen.taken = m_context.pages->filesInUse(m_context.folder);
    }
    const int room = m_context.pages ? generatedPageRoom(*m_context.pages) : PageList::kMaxPages;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const ComposeResult result =
        composeTextPages(text, signScreen(), chosen, m_context.folder, room);
    QGuiApplication::restoreOverrideCursor();
    if (!result.error.isEmpty()) {
        message(result.error);
        return;
    }
    if (result.pages == 0) {
        return;
    }
    accept();
    if (m_context.pages) {
        const PlaceResult placed = m_context.pages->placeGeneratedPages(
            chosen.base, result.pages, CaptionStyle::Number, result.first);
        if (m_context.pagesChanged) {
            m_context.pagesChanged();
        }
        if (!placed.message.isEmpty()) {
            message(placed.message);
        }
    }
}

void TForm3::Button2Click() {
    change(TextLayout::OneLine);
}

void TForm3::Button4Click() {
    change(TextLayout::ManyLine);
}

void TForm3::CheckBox3Click() {
    applyWordWrap(CheckBox3->isChecked());
}

void TForm3::Button1Click() {
    // The chooser works in points; the font it returns is turned back into
    // pixels by setTextFont.
    // It lists installed families, so it is shown the face that draws (the
    // default "細明體" is a name our fontconfig file maps to a Ming font).
    const QFontInfo info(m_font);
    QFont shown = m_font;
    shown.setFamily(info.family());
    shown.setPointSizeF(info.pointSizeF());
    QFontDialog dialog(shown, this);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    dialog.setWindowTitle(tr("FONT"));
    // The font's colour, chosen with the font, beside its effects.
    auto* colour = new QComboBox(&dialog);
    colour->setObjectName(QStringLiteral("FontColour"));
    colour->addItems(shownColourNames());
    int current = colourIndex(QStringLiteral("yellow"));
    for (int i = 0; i < colour->count(); ++i) {
        if (colourAt(i) == m_colour) {
            current = i;
        }
    }
    colour->setCurrentIndex(current);
    QLayout* target = dialog.layout();
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
        if (group->layout() && !group->findChildren<QCheckBox*>().isEmpty()) {
            target = group->layout();
            break;
        }
    }
    if (target) {
        target->addWidget(new QLabel(tr("Color"), &dialog));
        target->addWidget(colour);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    setTextFont(dialog.selectedFont(), colourAt(colour->currentIndex()));
}
