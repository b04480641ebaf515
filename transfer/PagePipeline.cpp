#include "transfer/PagePipeline.h"

#include "core/ProgramFolder.h"
#include "platform/PictureFile.h"
#include "platform/ThreadPriority.h"
#include "transfer/Packing.h"
#include "transfer/PagePreparation.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>

namespace {

// Prepared pages waiting for the writer hold at most this much, so a slow
// line does not make the list pile up in memory.
constexpr qint64 kWaitingBytes = 16LL * 1024 * 1024;

qint64 pageBytes(const PackedPage& page) {
    return page.bytes.size() + page.image.sizeInBytes();
}

}  // namespace

int pipelineThreads() {
    const int forced = qEnvironmentVariableIntValue("MARQUEE_THREADS");
    return forced > 0 ? forced : std::max(1, QThread::idealThreadCount());
}

QString PreparedPages::keyFor(const QString& fileName, const QString& folder,
                              const Settings& settings) {
    if (fileName.isEmpty()) {
        return {};
    }
    const QFileInfo file(resolveInFolder(folder, fileName));
    return QStringLiteral("%1|%2|%3|%4x%5|%6%7%8|%9")
        .arg(file.absoluteFilePath())
        .arg(file.lastModified().toMSecsSinceEpoch())
        .arg(file.size())
        .arg(settings.WIDTH)
        .arg(settings.HEIGHT)
        .arg(int(settings.ADJUST))
        .arg(int(settings.RG_SWAP))
        .arg(int(settings.COLOR_SWAP))
        .arg(int(typeFamily(settings.TYPE).depth));
}

bool PreparedPages::find(const QString& key, PackedPage* page) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_pages.constFind(key);
    if (key.isEmpty() || found == m_pages.constEnd()) {
        return false;
    }
    *page = found.value();
    return true;
}

void PreparedPages::store(const QString& key, const PackedPage& page) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (key.isEmpty() || m_pages.contains(key) || m_bytes + pageBytes(page) > m_budget) {
        return;
    }
    m_pages.insert(key, page);
    m_bytes += pageBytes(page);
}

void PreparedPages::keepOnly(const QStringList& keys) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_pages.begin(); it != m_pages.end();) {
        if (keys.contains(it.key())) {
            ++it;
        } else {
            m_bytes -= pageBytes(it.value());
            it = m_pages.erase(it);
        }
    }
}

int PreparedPages::size() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_pages.size());
}

PagePipeline::PagePipeline(const Settings& settings, const PageList& pages, int count,
                           const QString& folder, PreparedPages* cache, bool lowered)
    : m_settings(settings),
      m_folder(folder),
      m_cache(cache),
      m_count(count),
      m_files(count + 1),
      m_estimates(count + 1, 0),
      m_done(count + 1),
      m_ready(count + 1, false) {
    const QSize screen(settings.WIDTH, settings.HEIGHT);
    qint64 largest = 1;
    for (int i = 1; i <= count; ++i) {
        m_files[i] = pages.item(i).FileName;
        m_estimates[i] = qint64(screen.width()) * screen.height() * 4;
        if (!m_files[i].isEmpty()) {
            m_estimates[i] += decodeMemoryEstimate(resolveInFolder(folder, m_files[i]), screen);
        }
        largest = std::max(largest, m_estimates[i]);
    }
    // More threads than the budget holds of the largest decode would only
    // keep freed buffers of their own.
    const int threads = static_cast<int>(
        std::clamp<qint64>(kBudgetBytes / largest, 1, std::min(pipelineThreads(), count)));
    for (int i = 0; i < threads && count > 0; ++i) {
        m_threads.emplace_back([this, lowered] {
            if (lowered) {
                lowerThisThreadPriority();
            }
            work();
        });
    }
}

PagePipeline::~PagePipeline() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

bool PagePipeline::mayStart() const {
    if (m_next > m_count) {
        return false;
    }
    if (m_running == 0) {
        return true;  // the next page always gets a start, whatever it needs
    }
    qint64 waiting = 0;
    for (int i = m_taken + 1; i < m_next; ++i) {
        waiting += m_ready[i] ? pageBytes(m_done[i]) : 0;
    }
    return m_inFlight + m_estimates[m_next] <= kBudgetBytes && waiting <= kWaitingBytes;
}

void PagePipeline::work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || mayStart(); });
        if (m_stop) {
            return;
        }
        const int page = m_next++;
        m_inFlight += m_estimates[page];
        ++m_running;
        lock.unlock();
        PackedPage prepared = prepare(page);
        lock.lock();
        m_inFlight -= m_estimates[page];
        --m_running;
        m_done[page] = std::move(prepared);
        m_ready[page] = true;
        m_changed.notify_all();
    }
}

PackedPage PagePipeline::prepare(int page) const {
    const QString key =
        m_cache ? PreparedPages::keyFor(m_files[page], m_folder, m_settings) : QString();
    PackedPage packed;
    if (m_cache && m_cache->find(key, &packed)) {
        return packed;
    }
    const QSize screen(m_settings.WIDTH, m_settings.HEIGHT);
    PreparedPage prepared =
        preparePage(m_files[page], m_folder, screen, m_settings.ADJUST, kBudgetBytes);
    if (!prepared.error.isEmpty()) {
        packed.error = prepared.error;
        return packed;
    }
    const ColourTest test{m_settings.RG_SWAP, m_settings.COLOR_SWAP};
    packPage(prepared.image, typeFamily(m_settings.TYPE).depth, screen.width(), screen.height(),
             test, packed.bytes);
    packed.image = std::move(prepared.image);
    if (m_cache) {
        m_cache->store(key, packed);
    }
    return packed;
}

PackedPage PagePipeline::take(int page) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this, page] { return m_ready[page]; });
    PackedPage taken = std::move(m_done[page]);
    m_done[page] = PackedPage();
    m_taken = page;
    m_changed.notify_all();
    return taken;
}

void BackgroundPreparation::start(const Settings& settings, const PageList& pages, int count,
                                  const QString& folder) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stop) {
        *m_stop = true;
    }
    m_finished = false;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_stop = stop;
    // The new run waits for the one before it, so two never decode at once.
    m_thread = std::thread([this, stop, settings, pages, count, folder, yield = m_yield,
                            before = std::move(m_thread)]() mutable {
        if (before.joinable()) {
            before.join();
        }
        if (*stop) {
            return;
        }
        if (yield) {
            lowerThisThreadPriority();
        }
        QStringList keys;
        for (int i = 1; i <= count; ++i) {
            keys << PreparedPages::keyFor(pages.item(i).FileName, folder, settings);
        }
        m_cache.keepOnly(keys);
        PagePipeline pipeline(settings, pages, count, folder, &m_cache, yield);
        for (int i = 1; i <= count && !*stop; ++i) {
            pipeline.take(i);
        }
        m_finished = !*stop;
    });
}

void BackgroundPreparation::stop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stop) {
        *m_stop = true;
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}
