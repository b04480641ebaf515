#include "app/PictureLoader.h"

#include "platform/ThreadPriority.h"

#include <QFileInfo>

namespace {

// The current page, the page before it and a few more.
constexpr int kKept = 4;

}  // namespace

PictureLoader::PictureLoader(QObject* parent) : QObject(parent) {
    m_worker.setMaxThreadCount(1);
}

PictureLoader::~PictureLoader() {
    m_worker.waitForDone();
}

PictureLoader::Entry PictureLoader::entryFor(const QString& path, QSize screen) {
    const QFileInfo info(path);
    Entry entry;
    entry.path = path;
    entry.modified = info.lastModified();
    entry.size = info.exists() ? info.size() : -1;
    entry.screen = screen;
    return entry;
}

const PictureLoader::Entry* PictureLoader::kept(const Entry& wanted) const {
    for (const Entry& entry : m_kept) {
        if (entry.same(wanted)) {
            return &entry;
        }
    }
    return nullptr;
}

const PictureLoad* PictureLoader::find(const QString& path, QSize screen) {
    const Entry wanted = entryFor(path, screen);
    if (const Entry* entry = kept(wanted)) {
        return &entry->picture;
    }
    if (!m_loading) {
        start(wanted);
    } else {
        // Only the latest wish waits: pages passed over are not decoded.
        m_next = wanted;
        m_hasNext = true;
    }
    return nullptr;
}

PictureLoad PictureLoader::wait(const QString& path, QSize screen) {
    const Entry wanted = entryFor(path, screen);
    if (const Entry* entry = kept(wanted)) {
        return entry->picture;
    }
    finish();
    if (const Entry* entry = kept(wanted)) {
        return entry->picture;
    }
    start(wanted);
    finish();
    const Entry* entry = kept(wanted);
    return entry ? entry->picture : loadPicture(path, screen);
}

void PictureLoader::finish() {
    while (m_loading) {
        m_worker.waitForDone();
        collect();
    }
}

void PictureLoader::start(const Entry& wanted) {
    m_loading = true;
    m_worker.start([this, wanted] {
        lowerThisThreadPriority();
        Entry done = wanted;
        done.picture = loadPicture(wanted.path, wanted.screen);
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_done.append(done);
        }
        QMetaObject::invokeMethod(this, &PictureLoader::collect, Qt::QueuedConnection);
    });
}

void PictureLoader::collect() {
    QList<Entry> done;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        done.swap(m_done);
    }
    if (done.isEmpty()) {
        return;  // taken already by finish()
    }
    for (const Entry& entry : done) {
        m_kept.prepend(entry);
    }
    while (m_kept.size() > kKept) {
        m_kept.removeLast();
    }
    m_loading = false;
    if (m_hasNext) {
        m_hasNext = false;
        if (!kept(m_next)) {
            start(m_next);
        }
    }
    emit loaded();
}
