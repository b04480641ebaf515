#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

// One page: a picture file and its display parameters.
struct PlayItem {
    QString FileName;  // empty: a blank (black) page
    uint8_t InMode = 0;
    uint8_t OutMode = 0;
    uint8_t AddMode = 0;
    uint8_t DispTime = 5;
    uint8_t DispSpeed = 0;

    bool operator==(const PlayItem& other) const;
    bool operator!=(const PlayItem& other) const { return !(*this == other); }
};

// 256 slots; slot 0 is never a page, page k lives in slot k.
using PlayList = std::array<PlayItem, 256>;

// Captions of tabs: "%2.0d" for most, "第%2.0d幕" for pages made from documents.
enum class CaptionStyle { Number, Act };
QString tabCaption(int page, CaptionStyle style);

// The parameter panel below the preview, as the window shows it.
struct PanelFields {
    QString dispTimeText = QStringLiteral("5");
    int dispTimePosition = 5;  // the DISPTIME spinner, 0..1000
    QString dispSpeedText = QStringLiteral("0");
    int dispSpeedPosition = 0;  // the DISPSPEED spinner, 0..1000
    int inMode = 0;             // DISPMODE entry (may be a code the list lacks)
    int outMode = 0;
    int addMode = 0;
};

enum class Scope { Single, All };

struct PlaceResult {
    int placed = 0;   // files put into the list
    int leftOut = 0;  // files that did not fit
    QString message;  // for the operator when some were left out
};

// The play list the operator composes: the 256 slots, the page count, the
// tab strip, the current page and the parameter panel. The window mirrors
// what this reports; every rule lives here.
class PageList {
  public:
    static constexpr int kSlotCount = 256;
    static constexpr int kMaxPages = 255;
    static constexpr int kSpinnerMin = 0;
    static constexpr int kSpinnerMax = 1000;

    PageList() { initialise(); }

    // All 256 slots to their defaults, one page, tab 0 selected, entry 0
    // selected in the three lists.
    void initialise();

    const PlayList& items() const { return m_list; }
    const PlayItem& item(int index) const { return m_list.at(static_cast<size_t>(index)); }
    int PageCount() const { return m_pageCount; }

    const QStringList& tabCaptions() const { return m_captions; }
    int currentTab() const { return m_currentTab; }  // -1: no tab selected
    // The current page's slot: tab + 1 (0, not a page, when no tab is selected).
    int currentPage() const { return m_currentTab + 1; }
    bool deleteEnabled() const { return m_deleteEnabled; }
    const PanelFields& fields() const { return m_fields; }
    Scope scope() const { return m_scope; }

    // ADDPAGE. Returns a message when the list is full (nothing changes then).
    QString addPage();
    // DELETE of the current page.
    void deletePage();
    // Select page: the tab becomes current and its parameters are shown.
    void selectTab(int tab);
    // The current page's picture.
    void setPagePicture(const QString& fileName);
    // The last page's picture; nothing else changes.
    void setLastPagePicture(const QString& fileName);
    // How many generated pages the list can take now: the first replaces the
    // last page, the others are appended up to kMaxPages pages.
    int generatedPageRoom() const { return kMaxPages - std::max(m_pageCount, 1) + 1; }
    // Puts base + first + ".bmp" .. base + (first + n - 1) + ".bmp" into the
    // list: the first into the current last page, the others appended after it.
    PlaceResult placeGeneratedPages(const QString& base, int n, CaptionStyle style, int first = 1);
    // LOADLIST: the given pages replace the list; page 1 is selected and its
    // values shown (with ALL chosen they are not copied to the other pages).
    void loadPages(const std::vector<PlayItem>& pages);

    // The overview's edits. Each keeps the 255 pages, recaptions the tabs
    // from the first page that moved and selects the page it names; the
    // text ones return a message when the list is full (nothing changes).
    // A blank page with the current page's effect, time and speed, before
    // or after the current page.
    QString insertPage(bool after);
    // A copy of the current page after it.
    QString duplicatePage();
    // Page from (1..PageCount) moves to position to; the pages between shift.
    void movePage(int from, int to);

    // The files the pages 1..PageCount show, resolved in folder: generated
    // pictures must not overwrite them.
    QStringList filesInUse(const QString& folder) const;
    // Same slots, page count and tabs (the selection is not an edit).
    bool sameContent(const PageList& other) const;
    // Back to a state kept earlier (undo), keeping the scope chosen now.
    void restore(const PageList& kept);

    // Parameter edits, applied to the current page or, with ALL, to every
    // page. The text edits return "'%s' is not a valid integer value" for a
    // text that is not a whole number (nothing is stored then).
    QString editDispTime(const QString& text);
    QString editDispSpeed(const QString& text);
    void clickInMode(int index);
    void clickOutMode(int index);
    void clickAddMode(int index);
    void chooseScope(Scope scope);

  private:
    template <typename Setter>
    void applyToScope(Setter setter);
    QString editSpinner(const QString& text, QString& fieldText, int& position,
                        uint8_t PlayItem::*field);
    void showCurrentPage();
    void recaptionFrom(int page);

    PlayList m_list;
    int m_pageCount = 1;
    QStringList m_captions;
    int m_currentTab = 0;
    bool m_deleteEnabled = false;
    PanelFields m_fields;
    Scope m_scope = Scope::Single;
};

// The names base + first + ".bmp" .. base + (first + n - 1) + ".bmp".
QStringList generatedPageNames(const QString& base, int n, int first = 1);

// The first number from 1 on whose n generated names, resolved in folder,
// name none of the files taken, so that composing twice keeps both sets.
int firstFreeNumber(const QString& folder, const QString& base, int n, const QStringList& taken);
