#pragma once

// A FIFO made where a file is expected, with a writer that waits in its own thread for a reader
// and gives it the content, again for every reader: a reader that opens the FIFO gets the content
// as if it were the file's, one that never opens it leaves the writer waiting, which is let go
// when this ends.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

class FifoWriter {
public:
    // The FIFO at path (what was there is removed), and its writer.
    FifoWriter(const QString& path, QByteArray content)
        : m_path(QFile::encodeName(path)) {
        QFile::remove(path);
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        if (m_made) {
            m_writer = std::thread([this, content = std::move(content)] {
                // A reader that leaves before the end gives the writer an error, not the process
                // a signal.
                sigset_t pipe;
                sigemptyset(&pipe);
                sigaddset(&pipe, SIGPIPE);
                pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
                while (true) {
                    const int fd = ::open(m_path.constData(), O_WRONLY | O_CLOEXEC);
                    if (fd < 0) {
                        return;
                    }
                    if (!m_ending) {
                        [[maybe_unused]] const ssize_t written =
                            ::write(fd, content.constData(), size_t(content.size()));
                    }
                    ::close(fd);
                    if (m_ending) {
                        return;
                    }
                }
            });
        }
    }
    FifoWriter(const FifoWriter&) = delete;
    FifoWriter& operator=(const FifoWriter&) = delete;
    ~FifoWriter() {
        if (!m_made) {
            return;
        }
        // A reader of its own lets the writer waiting go on and see that it ends; held until the
        // writer is done.
        m_ending = true;
        const int reader = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        m_writer.join();
        if (reader >= 0) {
            ::close(reader);
        }
        ::unlink(m_path.constData());
    }

    bool made() const { return m_made; }

private:
    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_ending{false};
    std::thread m_writer;
};
