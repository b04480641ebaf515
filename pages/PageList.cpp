#include "pages/PageList.h"

#include "core/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

bool PlayItem::operator==(const PlayItem& o) const {
    return FileName == o.FileName && InMode == o.InMode && OutMode == o.OutMode &&
           AddMode == o.AddMode && DispTime == o.DispTime && DispSpeed == o.DispSpeed;
}

QString tabCaption(int page, CaptionStyle style) {
    const QString number = QStringLiteral("%1").arg(page, 2);
    return style == CaptionStyle::Act ? QStringLiteral("第") + number + QStringLiteral("幕")
                                      : number;
}

QStringList generatedPageNames(const QString& base, int n, int first) {
    QStringList names;
    for (int i = first; i < first + n; ++i) {
        names << base + QString::number(i) + QStringLiteral(".bmp");
    }
    return names;
}

int firstFreeNumber(const QString& folder, const QString& base, int n, const QStringList& taken) {
    // Each number that fails collides with a taken file, so the search ends
    // after at most one try more than there are taken files.
    for (int first = 1;; ++first) {
        const QStringList names = generatedPageNames(base, n, first);
        const bool clash = std::any_of(names.begin(), names.end(), [&](const QString& name) {
            return taken.contains(QDir::cleanPath(resolveInFolder(folder, name)));
        });
        if (!clash) {
            return first;
        }
    }
}

void PageList::initialise() {
    m_list.fill(PlayItem{});
    m_pageCount = 1;
    m_captions = {QStringLiteral("1")};
    m_currentTab = 0;
    m_deleteEnabled = false;
    m_fields = PanelFields{};
    m_scope = Scope::Single;
}

template <typename Setter>
void PageList::applyToScope(Setter setter) {
    if (m_scope == Scope::All) {
        // Slot 0 is written as well; it is not a page.
        for (int k = 0; k <= m_pageCount; ++k) {
            setter(m_list[static_cast<size_t>(k)]);
        }
    } else {
        setter(m_list[static_cast<size_t>(currentPage())]);
    }
}

namespace {

// A whole number as the fields accept it: optional leading blanks and sign.
bool parseWholeNumber(const QString& text, long long* value) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || text.endsWith(QLatin1Char(' '))) {
        return false;
    }
    bool ok = false;
    *value = trimmed.toLongLong(&ok, 10);
    return ok;
}

QString listFullText() {
    return QCoreApplication::translate(
               "PageList",
               "The list already holds %1 pages, the most it can hold: no page was added.")
        .arg(PageList::kMaxPages);
}

}  // namespace

QString PageList::editSpinner(const QString& text, QString& fieldText, int& position,
                              uint8_t PlayItem::*field) {
    if (text == fieldText) {
        return {};
    }
    fieldText = text;
    long long value = 0;
    if (!parseWholeNumber(text, &value)) {
        return QStringLiteral("'%1' is not a valid integer value").arg(text);
    }
    position = static_cast<int>(std::clamp<long long>(value, kSpinnerMin, kSpinnerMax));
    const auto stored = static_cast<uint8_t>(value & 0xFF);
    applyToScope([&](PlayItem& item) { item.*field = stored; });
    return {};
}

QString PageList::editDispTime(const QString& text) {
    return editSpinner(text, m_fields.dispTimeText, m_fields.dispTimePosition, &PlayItem::DispTime);
}

QString PageList::editDispSpeed(const QString& text) {
    return editSpinner(text, m_fields.dispSpeedText, m_fields.dispSpeedPosition,
                       &PlayItem::DispSpeed);
}

void PageList::clickInMode(int index) {
    m_fields.inMode = index;
    applyToScope([&](PlayItem& item) { item.InMode = static_cast<uint8_t>(index & 0xFF); });
}

void PageList::clickOutMode(int index) {
    m_fields.outMode = index;
    applyToScope([&](PlayItem& item) { item.OutMode = static_cast<uint8_t>(index & 0xFF); });
}

void PageList::clickAddMode(int index) {
    m_fields.addMode = index;
    applyToScope([&](PlayItem& item) { item.AddMode = static_cast<uint8_t>(index & 0xFF); });
}

void PageList::chooseScope(Scope scope) {
    const bool becomesAll = scope == Scope::All && m_scope != Scope::All;
    m_scope = scope;
    if (!becomesAll || m_pageCount < 1) {
        return;
    }
    for (int k = 1; k <= m_pageCount; ++k) {
        PlayItem& item = m_list[static_cast<size_t>(k)];
        item.InMode = static_cast<uint8_t>(m_fields.inMode & 0xFF);
        item.DispSpeed = static_cast<uint8_t>(m_fields.dispSpeedPosition & 0xFF);
        item.DispTime = static_cast<uint8_t>(m_fields.dispTimePosition & 0xFF);
    }
}

void PageList::showCurrentPage() {
    // Showing the values counts as editing the fields: with ALL chosen a
    // value that differs from the field's text goes to every page.
    const PlayItem page = item(currentPage());
    editDispSpeed(QString::number(page.DispSpeed));
    editDispTime(QString::number(page.DispTime));
    const PlayItem& shown = item(currentPage());
    m_fields.inMode = shown.InMode;
    m_fields.outMode = shown.OutMode;
    m_fields.addMode = shown.AddMode;
}

void PageList::selectTab(int tab) {
    if (tab < 0 || tab >= m_captions.size()) {
        return;
    }
    m_currentTab = tab;
    showCurrentPage();
}

QString PageList::addPage() {
    if (m_pageCount >= kMaxPages) {
        return listFullText();
    }
    m_captions << tabCaption(static_cast<int>(m_captions.size()) + 1, CaptionStyle::Number);
    m_currentTab = static_cast<int>(m_captions.size()) - 1;
    showCurrentPage();
    ++m_pageCount;
    m_deleteEnabled = true;
    return {};
}

void PageList::deletePage() {
    const int p = currentPage();
    if (m_pageCount < 2 || p < 1 || p > m_pageCount) {
        return;
    }
    for (int k = p; k < m_pageCount; ++k) {
        m_list[static_cast<size_t>(k)] = m_list[static_cast<size_t>(k + 1)];
    }
    m_list[static_cast<size_t>(m_pageCount)].FileName.clear();
    --m_pageCount;
    m_captions.removeAt(p - 1);
    for (int i = p - 1; i < m_captions.size(); ++i) {
        m_captions[i] = tabCaption(i + 1, CaptionStyle::Number);
    }
    m_currentTab = m_pageCount - 1;
    showCurrentPage();
    m_deleteEnabled = m_pageCount >= 2;
}

void PageList::setPagePicture(const QString& fileName) {
    if (currentPage() == 0) {
        return;  // no page selected: slot 0 is not a page
    }
    m_list[static_cast<size_t>(currentPage())].FileName = fileName;
}

void PageList::setLastPagePicture(const QString& fileName) {
    m_list[static_cast<size_t>(m_pageCount)].FileName = fileName;
}

PlaceResult PageList::placeGeneratedPages(const QString& base, int n, CaptionStyle style,
                                          int firstNumber) {
    PlaceResult result;
    if (n <= 0) {
        return result;
    }
    const int first = std::max(m_pageCount, 1);
    result.placed = std::min(n, generatedPageRoom());
    result.leftOut = n - result.placed;
    const QStringList names = generatedPageNames(base, result.placed, firstNumber);
    for (int i = 0; i < result.placed; ++i) {
        const int page = first + i;
        m_list[static_cast<size_t>(page)].FileName = names[i];
        if (page > m_captions.size()) {
            m_captions << tabCaption(page, style);
        }
    }
    m_pageCount = first + result.placed - 1;
    m_currentTab = m_pageCount - 1;
    showCurrentPage();
    m_deleteEnabled = m_pageCount > 1;
    if (result.leftOut > 0) {
        result.message =
            QCoreApplication::translate("PageList",
                                        "The list holds at most %1 pages: %2 of the %3 new pages "
                                        "were placed, %4 were left out.")
                .arg(kMaxPages)
                .arg(result.placed)
                .arg(n)
                .arg(result.leftOut);
    }
    return result;
}

void PageList::loadPages(const std::vector<PlayItem>& pages) {
    if (pages.empty()) {
        return;  // at least one page always exists
    }
    const int count = static_cast<int>(std::min<size_t>(pages.size(), kMaxPages));
    m_captions.clear();
    for (int i = 1; i <= count; ++i) {
        m_list[static_cast<size_t>(i)] = pages[static_cast<size_t>(i - 1)];
        m_captions << QString::number(i);
    }
    m_pageCount = count;
    m_deleteEnabled = count > 1;
    // Page 1 is shown as it is: loading is not an edit, so with ALL chosen
    // its values are not copied to the other pages.
    m_currentTab = 0;
    const PlayItem& first = item(1);
    m_fields.dispTimeText = QString::number(first.DispTime);
    m_fields.dispTimePosition = first.DispTime;
    m_fields.dispSpeedText = QString::number(first.DispSpeed);
    m_fields.dispSpeedPosition = first.DispSpeed;
    m_fields.inMode = first.InMode;
    m_fields.outMode = first.OutMode;
    m_fields.addMode = first.AddMode;
}

void PageList::recaptionFrom(int page) {
    while (m_captions.size() < m_pageCount) {
        m_captions << QString();
    }
    for (int i = std::max(page, 1) - 1; i < m_captions.size(); ++i) {
        m_captions[i] = tabCaption(i + 1, CaptionStyle::Number);
    }
    m_deleteEnabled = m_pageCount >= 2;
}

QString PageList::insertPage(bool after) {
    if (m_pageCount >= kMaxPages) {
        return listFullText();
    }
    const int current = std::clamp(currentPage(), 1, m_pageCount);
    PlayItem blank = item(current);
    blank.FileName.clear();
    const int at = after ? current + 1 : current;
    for (int k = m_pageCount; k >= at; --k) {
        m_list[static_cast<size_t>(k + 1)] = m_list[static_cast<size_t>(k)];
    }
    m_list[static_cast<size_t>(at)] = blank;
    ++m_pageCount;
    recaptionFrom(at);
    m_currentTab = at - 1;
    showCurrentPage();
    return {};
}

QString PageList::duplicatePage() {
    const int current = std::clamp(currentPage(), 1, m_pageCount);
    const PlayItem copy = item(current);
    const QString error = insertPage(true);
    if (error.isEmpty()) {
        m_list[static_cast<size_t>(current + 1)] = copy;
    }
    return error;
}

void PageList::movePage(int from, int to) {
    if (from < 1 || from > m_pageCount || to < 1 || to > m_pageCount || from == to) {
        return;
    }
    const PlayItem moved = item(from);
    const int step = from < to ? 1 : -1;
    for (int k = from; k != to; k += step) {
        m_list[static_cast<size_t>(k)] = m_list[static_cast<size_t>(k + step)];
    }
    m_list[static_cast<size_t>(to)] = moved;
    recaptionFrom(std::min(from, to));
    m_currentTab = to - 1;
    showCurrentPage();
}

QStringList PageList::filesInUse(const QString& folder) const {
    QStringList files;
    for (int k = 1; k <= m_pageCount; ++k) {
        const QString& name = item(k).FileName;
        if (!name.isEmpty()) {
            files << QDir::cleanPath(resolveInFolder(folder, name));
        }
    }
    return files;
}

bool PageList::sameContent(const PageList& other) const {
    return m_pageCount == other.m_pageCount && m_captions == other.m_captions &&
           m_list == other.m_list;
}

void PageList::restore(const PageList& kept) {
    const Scope scope = m_scope;
    *this = kept;
    m_scope = scope;
}
