// SPDX-License-Identifier: GPL-3.0-or-later
#include <imagekit/imageobject.h>

#include <QImageReader>
#include <QPainter>
#include <QString>

#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

namespace {

QImage decode(const std::wstring& path, int width, int height)
{
    QImageReader reader(QString::fromStdWString(path));
    // Pixel data only: an orientation tag must not turn a skin on its side.
    reader.setAutoTransform(false);
    QImage loaded = reader.read();
    if (loaded.isNull())
        return {};
    if (width > 0 && height > 0 && (loaded.width() != width || loaded.height() != height))
        loaded = loaded.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return loaded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

namespace {

// Skins are read-only and many controls show the same one: each file is
// decoded once per run and its pixels shared (a QImage copies on write).
// A file being decoded is waited for, not decoded a second time, and a file
// being decoded holds up no look-up of another.
class CSkinCache {
public:
    using Key = std::tuple<std::wstring, int, int>;

    ~CSkinCache()
    {
        // Joined before the entries go: a worker still decoding writes into them.
        for (std::thread& worker : m_workers)
            if (worker.joinable())
                worker.join();
    }

    QImage get(const std::wstring& path, int width, int height)
    {
        const Key key{path, width, height};
        std::promise<QImage> promise;
        std::shared_future<QImage> pending;
        {
            const std::lock_guard guard(m_lock);
            if (const auto found = m_decoded.find(key); found != m_decoded.end())
                pending = found->second;
            else
                m_decoded.emplace(key, promise.get_future().share());
        }
        if (pending.valid())
            return pending.get();
        QImage image = decode(path, width, height);
        promise.set_value(image);
        // A failure is not kept: the file may appear later (a test writes it, a fitter restores it).
        if (image.isNull()) {
            const std::lock_guard guard(m_lock);
            m_decoded.erase(key);
        }
        return image;
    }

    void prefetch(std::vector<std::wstring> paths)
    {
        const std::lock_guard guard(m_lock);
        m_workers.emplace_back([this, paths = std::move(paths)] {
            for (const std::wstring& path : paths)
                get(path, -1, -1);
        });
    }

private:
    std::mutex m_lock;
    std::map<Key, std::shared_future<QImage>> m_decoded;
    std::vector<std::thread> m_workers;
};

CSkinCache& skinCache()
{
    static CSkinCache cache;
    return cache;
}

} // namespace

QImage CImageObject::shared(const std::wstring& path, int width, int height)
{
    if (width <= 0 || height <= 0)
        width = height = -1;
    return skinCache().get(path, width, height);
}

void CImageObject::prefetch(std::vector<std::wstring> paths)
{
    if (!paths.empty())
        skinCache().prefetch(std::move(paths));
}

bool CImageObject::Load(const std::wstring& path, QPainter* /*dc*/, int width, int height)
{
    m_image = shared(path, width, height);
    return !m_image.isNull();
}

void CImageObject::setImage(const QImage& image)
{
    // One pixel format for every picture: blending and reduction then never convert per paint.
    m_image = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

bool CImageObject::Draw(QPainter* dc, int x, int y, int width, int height) const
{
    if (!dc || m_image.isNull() || width <= 0 || height <= 0)
        return false;
    dc->save();
    dc->setRenderHint(QPainter::SmoothPixmapTransform, true);
    dc->drawImage(QRect(x, y, width, height), m_image);
    dc->restore();
    return true;
}
