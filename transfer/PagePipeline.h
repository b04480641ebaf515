#pragma once

#include "core/Settings.h"
#include "pages/PageList.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// One page ready to be written: its packed bytes and what it shows.
struct PackedPage {
    QByteArray bytes;  // the packed image, P bytes
    QImage image;      // the page drawn at the screen's size
    QString error;     // the picture could not be used; bytes and image empty
};

// Pages already prepared, kept between transfers: the window fills it in
// the background after each change, so SEND writes at once. A page is
// found again only for the same file (path, modification time, size) on
// the same screen with the same packing flags. Thread-safe; holds at most
// budgetBytes.
class PreparedPages {
  public:
    explicit PreparedPages(qint64 budgetBytes = 32LL * 1024 * 1024) : m_budget(budgetBytes) {}

    // The key of a page's picture for these settings; empty for a page
    // without a file (nothing worth keeping).
    static QString keyFor(const QString& fileName, const QString& folder, const Settings& settings);

    bool find(const QString& key, PackedPage* page) const;
    void store(const QString& key, const PackedPage& page);
    // Forgets every page whose key is not in keys.
    void keepOnly(const QStringList& keys);
    int size() const;

  private:
    mutable std::mutex m_mutex;
    QHash<QString, PackedPage> m_pages;
    qint64 m_bytes = 0;
    qint64 m_budget;
};

// Pages 1..count of a list, decoded and packed ahead of the writer on a few
// threads, handed out strictly in order. How many decodes run at once is set
// by an estimate of their memory against a budget, never by the number of
// cores: a decode starts only while the estimates of the decodes running
// stay within the budget (one runs alone whatever its size), and libjpeg's
// own memory is capped at the budget. The threads live for the whole list,
// so the allocator hands each the blocks it freed on its last page.
class PagePipeline {
  public:
    static constexpr qint64 kBudgetBytes = 96LL * 1024 * 1024;

    // lowered: the threads run at a lower priority (work nobody waits for).
    PagePipeline(const Settings& settings, const PageList& pages, int count, const QString& folder,
                 PreparedPages* cache = nullptr, bool lowered = false);
    // Stops the threads; pages being decoded are finished and dropped.
    ~PagePipeline();
    PagePipeline(const PagePipeline&) = delete;
    PagePipeline& operator=(const PagePipeline&) = delete;

    // Page (1-based, in order), waiting until it is ready.
    PackedPage take(int page);
    // The threads working for this list.
    int threads() const { return static_cast<int>(m_threads.size()); }

  private:
    void work();
    bool mayStart() const;  // under m_mutex
    PackedPage prepare(int page) const;

    Settings m_settings;
    QString m_folder;
    PreparedPages* m_cache;
    int m_count;
    std::vector<QString> m_files;     // 1-based
    std::vector<qint64> m_estimates;  // 1-based
    std::vector<PackedPage> m_done;   // 1-based
    std::vector<bool> m_ready;        // 1-based
    int m_next = 1;                   // the next page to start
    int m_taken = 0;                  // the last page handed out
    qint64 m_inFlight = 0;            // estimates of the decodes running
    int m_running = 0;
    bool m_stop = false;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::thread> m_threads;
};

// Prepares a list's pages into a PreparedPages in the background, one list
// at a time: starting again for a changed list stops the run before it
// (after the page it is decoding) without waiting for it. Not used while a
// transfer runs: stop() first.
class BackgroundPreparation {
  public:
    explicit BackgroundPreparation(PreparedPages& cache) : m_cache(cache) {}
    ~BackgroundPreparation() { stop(); }
    BackgroundPreparation(const BackgroundPreparation&) = delete;
    BackgroundPreparation& operator=(const BackgroundPreparation&) = delete;

    // The pages the list would send, for these settings; pages kept for
    // other files or settings are forgotten.
    void start(const Settings& settings, const PageList& pages, int count, const QString& folder);
    // Stops the run and waits for it.
    void stop();
    // Whether the last run has prepared every page.
    bool finished() const { return m_finished; }
    // Runs from now on decode at a lower priority, so that a window's
    // thread gets a core at once.
    void setYieldToWindow(bool yield) { m_yield = yield; }

  private:
    PreparedPages& m_cache;
    std::mutex m_mutex;
    std::thread m_thread;
    std::shared_ptr<std::atomic<bool>> m_stop;
    std::atomic<bool> m_finished{false};
    bool m_yield = false;
};

// The threads a pipeline may use: MARQUEE_THREADS when set (to compare
// machines), else the cores.
int pipelineThreads();
