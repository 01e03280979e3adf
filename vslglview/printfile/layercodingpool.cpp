#include "printfile/layercodingpool.h"

#include "printfile/archivemember.h"
#include "printfile/runlength.h"

#include <QtGlobal>

LayerCodingPool::LayerCodingPool(const Settings& settings, int threadCount, int window)
    : m_settings(settings), m_window(qMax(1, window))
{
    const int n = qMax(1, threadCount);
    m_threads.reserve(n);
    for (int i = 0; i < n; ++i)
        m_threads.emplace_back([this] { work(); });
}

LayerCodingPool::~LayerCodingPool()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_waiting.clear();
    }
    m_jobReady.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

bool LayerCodingPool::isFull() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_inOrder.size()) >= m_window;
}

bool LayerCodingPool::hasPending() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_inOrder.empty();
}

void LayerCodingPool::submit(int layer, QByteArray imageBytes)
{
    auto job = std::make_shared<Job>();
    job->layer = layer;
    job->bytes = std::move(imageBytes);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_inOrder.push_back(job);
        m_waiting.push_back(job);
    }
    m_jobReady.notify_one();
}

LayerCodingPool::Result LayerCodingPool::takeNext()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_inOrder.empty())
        return Result();
    std::shared_ptr<Job> job = m_inOrder.front();
    m_jobDone.wait(lock, [&] { return job->done; });
    m_inOrder.pop_front();
    return std::move(job->result);
}

void LayerCodingPool::work()
{
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_jobReady.wait(lock, [&] { return m_stop || !m_waiting.empty(); });
            if (m_stop)
                return;
            job = m_waiting.front();
            m_waiting.pop_front();
        }
        Result result = codeLayer(job->layer, job->bytes, m_settings);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            job->bytes = QByteArray();
            job->result = std::move(result);
            job->done = true;
        }
        m_jobDone.notify_all();
    }
}

LayerCodingPool::Result LayerCodingPool::codeLayer(int layer, const QByteArray& imageBytes,
                                                   const Settings& settings)
{
    Result r;
    r.layer = layer;
    QImage image;
    if (!DecodeArchiveImage(imageBytes, image, r.error))
        return r;
    if (settings.scaleTo.isValid() && image.size() != settings.scaleTo)
        image = image.scaled(settings.scaleTo, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    r.grey = image.convertToFormat(QImage::Format_Grayscale8);
    if (r.grey.isNull() || !EncodeRunLength(r.grey, settings.bitsPerPixel, r.code)) {
        r.error = QStringLiteral("image cannot be converted to grey levels");
        r.grey = QImage();
        return r;
    }
    r.ok = true;
    return r;
}
