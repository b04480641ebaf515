#pragma once

#include "platform/PictureFile.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <mutex>

// Decodes page pictures for the sign view on a worker thread: the window's
// thread asks for a picture and is told when it has been decoded. The last
// few pictures are kept while their files stay as they were.
class PictureLoader : public QObject {
    Q_OBJECT
  public:
    explicit PictureLoader(QObject* parent = nullptr);
    ~PictureLoader() override;

    // The picture of the file at path decoded for screen, or null while it
    // is being decoded (then loaded() follows).
    const PictureLoad* find(const QString& path, QSize screen);
    // The picture, decoded now if need be: for the window's own checks.
    PictureLoad wait(const QString& path, QSize screen);
    // Waits for the decode under way and keeps its picture.
    void finish();

  signals:
    void loaded();

  private:
    struct Entry {
        QString path;
        QDateTime modified;
        qint64 size = -1;
        QSize screen;
        PictureLoad picture;
        bool same(const Entry& other) const {
            return path == other.path && modified == other.modified && size == other.size &&
                   screen == other.screen;
        }
    };
    static Entry entryFor(const QString& path, QSize screen);
    const Entry* kept(const Entry& wanted) const;
    void start(const Entry& wanted);
    void collect();

    QList<Entry> m_kept;  // the latest first
    bool m_loading = false;
    Entry m_next;  // asked for while another was being decoded
    bool m_hasNext = false;
    std::mutex m_mutex;
    QList<Entry> m_done;  // decoded, not yet collected; under m_mutex
    QThreadPool m_worker;
};
