#include "app/ImportDialog.h"

#include "app/PictureImportDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {

// The operator surface while CHANGE runs: the step shows in the dialog too,
// the cursor is busy, and a message gets the normal cursor back meanwhile.
class BusySurface : public MirroredSurface {
  public:
    BusySurface(OperatorSurface& target, QLabel* step,
                std::function<void(int, const QImage&)> showPage)
        : MirroredSurface(
              target, [step](const QString& text) { step->setText(text); },
              [step] { step->repaint(); }),
          m_showPage(std::move(showPage)) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    // A page made: the dialog's sign view, not the window's.
    void preparingPage(int page, const QImage& image) override { m_showPage(page, image); }
    ~BusySurface() override { QApplication::restoreOverrideCursor(); }
    void message(const QString& text, const QString& caption = QString()) override {
        QApplication::restoreOverrideCursor();
        MirroredSurface::message(text, caption);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }

  private:
    std::function<void(int, const QImage&)> m_showPage;
};

}  // namespace

bool confirmImportedPages(QWidget* parent, const QList<QImage>& pages, const Settings& settings) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("ImportedPages"));
    dialog.setWindowTitle(OfficeImportDialog::tr("Place these pages?"));
    auto* view = new QLabel;
    view->setAlignment(Qt::AlignCenter);
    view->setMinimumSize(480, 200);
    auto* which = new QLabel;
    auto* previous = new QPushButton(OfficeImportDialog::tr("Previous"));
    auto* next = new QPushButton(OfficeImportDialog::tr("Next"));
    auto* place = new QPushButton(OfficeImportDialog::tr("Place"));
    auto* cancel = new QPushButton(OfficeImportDialog::tr("Cancel"));
    place->setDefault(true);
    int shown = 0;
    const auto show = [&](int index) {
        shown = std::clamp(index, 0, int(pages.size()) - 1);
        view->setPixmap(
            QPixmap::fromImage(signViewOf(pages[shown], settings, view->minimumSize())));
        which->setText(OfficeImportDialog::tr("page %1 of %2").arg(shown + 1).arg(pages.size()));
        previous->setEnabled(shown > 0);
        next->setEnabled(shown + 1 < pages.size());
    };
    QObject::connect(previous, &QPushButton::clicked, &dialog, [&] { show(shown - 1); });
    QObject::connect(next, &QPushButton::clicked, &dialog, [&] { show(shown + 1); });
    QObject::connect(place, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* grid = new QGridLayout(&dialog);
    grid->addWidget(view, 0, 0, 1, 5);
    grid->addWidget(previous, 1, 0);
    grid->addWidget(which, 1, 1);
    grid->addWidget(next, 1, 2);
    grid->addWidget(place, 1, 3);
    grid->addWidget(cancel, 1, 4);
    grid->setColumnStretch(1, 1);
    if (pages.isEmpty()) {
        return true;
    }
    show(0);
    return dialog.exec() == QDialog::Accepted;
}

OfficeImportDialog::OfficeImportDialog(const QString& name, const QString& caption,
                                       const QString& fileLabel, const QString& defaultBase,
                                       QWidget* parent)
    : QDialog(parent) {
    setObjectName(name);
    setWindowTitle(caption);
    setModal(true);

    auto* grid = new QGridLayout(this);
    m_file = new QLabel;
    m_file->setObjectName(fileLabel);
    m_file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(m_file, 0, 0, 1, 3);
    grid->addWidget(new QLabel(tr("FILENAME")), 1, 0);
    Edit1 = new QLineEdit(defaultBase);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    grid->addWidget(Edit1, 1, 1);
    Button1 = new QPushButton(tr("CHANGE"));
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    grid->addWidget(Button1, 1, 2);
    m_step = new QLabel;
    m_step->setObjectName(QStringLiteral("Step"));
    m_fit = new FitChooser;
    grid->addWidget(m_fit, 2, 0, 1, 3);
    grid->addWidget(m_step, 3, 0, 1, 3);
    m_view = new QLabel;
    m_view->setObjectName(QStringLiteral("SignView"));
    m_view->setAlignment(Qt::AlignCenter);
    grid->addWidget(m_view, 4, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    setMinimumWidth(360);

    connect(Button1, &QPushButton::clicked, this, &OfficeImportDialog::Button1Click);
}

void OfficeImportDialog::attach(const ImportContext& context) {
    m_context = context;
}

void OfficeImportDialog::setFile(const QString& path) {
    m_path = path;
    m_file->setText(QDir::toNativeSeparators(QFileInfo(path).fileName()));
    m_file->setToolTip(QDir::toNativeSeparators(path));
    m_step->clear();
}

void OfficeImportDialog::Button1Click() {
    if (!m_context.pages || !m_context.surface || !m_context.settings) {
        return;
    }
    const Settings settings = m_context.settings();
    ImportSetup setup;
    setup.folder = m_context.folder;
    setup.base = Edit1->text();
    setup.screen = QSize(settings.WIDTH, settings.HEIGHT);
    setup.fit = m_fit->options();
    setup.confirm = [this, settings](const QList<QImage>& pages) {
        // The normal cursor while the operator looks.
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        const bool place =
            m_confirm ? m_confirm(pages) : confirmImportedPages(this, pages, settings);
        QApplication::restoreOverrideCursor();
        return place;
    };

    Button1->setEnabled(false);
    QDir::setCurrent(m_context.folder);
    bool close = false;
    {
        m_shown.clear();
        BusySurface surface(*m_context.surface, m_step, [&](int page, const QImage& image) {
            m_shown << page;
            m_view->setPixmap(QPixmap::fromImage(signViewOf(image, settings, QSize(480, 200))));
            m_view->repaint();
        });
        close = runImport(setup, m_context.pages, surface);
    }
    Button1->setEnabled(true);
    if (close) {
        accept();
    }
}
