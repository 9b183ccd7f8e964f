#include "store.h"

#include "channelmatch.h"

#include <QFile>

#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace miravon::guide {
namespace {

constexpr char magic[8] = {'M', 'R', 'V', 'G', 'U', 'I', 'D', 'E'};
constexpr quint32 version = 1;
constexpr quint32 byteOrder = 0x01020304;
constexpr qsizetype headerSize = 64;
constexpr qsizetype channelSize = 40;
constexpr qsizetype programmeSize = 12;
constexpr char separator = Store::metaSeparator;
// A store larger than this is no store of this program's.
constexpr qint64 maxStoreBytes = qint64(1) << 31;
// One channel's texts unpacked, at most: 1,600 programmes of the longest
// texts the reader keeps are far less.
constexpr quint32 maxBlockBytes = 16 * 1024 * 1024;
// Unpacked blocks kept: the rows of a list on screen, and a few more.
constexpr int recentBlocks = 48;

void put32(QByteArray& out, qsizetype at, quint32 v) { std::memcpy(out.data() + at, &v, 4); }
void put64(QByteArray& out, qsizetype at, quint64 v) { std::memcpy(out.data() + at, &v, 8); }

void putVarint(QByteArray& out, quint32 v)
{
    while (v >= 0x80) {
        out += char((v & 0x7f) | 0x80);
        v >>= 7;
    }
    out += char(v);
}

// A varint-prefixed string of `block` at `*at`; false when it runs out.
bool takeString(const QByteArray& block, qsizetype* at, QString* out)
{
    quint32 len = 0;
    for (int shift = 0;; shift += 7) {
        if (*at >= block.size() || shift > 28)
            return false;
        const auto b = quint8(block.at((*at)++));
        len |= quint32(b & 0x7f) << shift;
        if (!(b & 0x80))
            break;
    }
    if (len > quint32(block.size() - *at))
        return false;
    *out = QString::fromUtf8(block.constData() + *at, qsizetype(len));
    *at += len;
    return true;
}

void appendString(QByteArray& out, const QString& s)
{
    const QByteArray utf8 = s.toUtf8();
    putVarint(out, quint32(utf8.size()));
    out += utf8;
}

QByteArray compressed(const QByteArray& raw)
{
    if (raw.isEmpty())
        return {};
    uLongf len = compressBound(uLong(raw.size()));
    QByteArray out(qsizetype(len), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(raw.constData()),
                  uLong(raw.size()), Z_BEST_SPEED)
        != Z_OK)
        return {};
    out.truncate(qsizetype(len));
    return out;
}

} // namespace

QByteArray packTexts(const Texts& t)
{
    QByteArray out;
    for (const QString* s : {&t.title, &t.subTitle, &t.description, &t.category})
        appendString(out, *s);
    return out;
}

QByteArray Store::encode(const QList<ChannelRecord>& channels)
{
    QByteArray meta;
    QList<std::pair<quint32, quint32>> metaSpans;
    qsizetype programmes = 0;
    for (const ChannelRecord& c : channels) {
        const QByteArray m = (QStringList{c.id, c.country} + c.names).join(QChar(separator)).toUtf8();
        metaSpans.append({quint32(meta.size()), quint32(m.size())});
        meta += m;
        programmes += c.programmes.size();
    }
    const qsizetype metaAt = headerSize + channelSize * channels.size();
    const qsizetype programmesAt = (metaAt + meta.size() + 3) & ~qsizetype(3);
    const qsizetype textsAt = programmesAt + programmeSize * programmes;

    QByteArray out(textsAt, '\0');
    std::memcpy(out.data(), magic, sizeof magic);
    put32(out, 8, version);
    put32(out, 12, byteOrder);
    put32(out, 16, foldVersion);
    put32(out, 20, quint32(channels.size()));
    put32(out, 24, quint32(programmes));
    put64(out, 32, quint64(metaAt));
    put64(out, 40, quint64(programmesAt));
    put64(out, 48, quint64(textsAt));
    std::memcpy(out.data() + metaAt, meta.constData(), size_t(meta.size()));

    QByteArray texts;
    qsizetype p = 0;
    for (qsizetype ci = 0; ci < channels.size(); ++ci) {
        const ChannelRecord& c = channels.at(ci);
        QByteArray raw;
        const qsizetype first = p;
        for (const ProgrammeRecord& r : c.programmes) {
            const qsizetype at = programmesAt + programmeSize * p++;
            put32(out, at, r.start);
            put32(out, at + 4, r.stop);
            put32(out, at + 8, quint32(raw.size()));
            raw += r.texts;
        }
        const QByteArray packed = compressed(raw);
        const qsizetype at = headerSize + channelSize * ci;
        put32(out, at, metaSpans.at(ci).first);
        put32(out, at + 4, metaSpans.at(ci).second);
        put32(out, at + 8, quint32(first));
        put32(out, at + 12, quint32(c.programmes.size()));
        put64(out, at + 16, quint64(texts.size()));
        put32(out, at + 24, quint32(packed.size()));
        put32(out, at + 28, quint32(raw.size()));
        texts += packed;
    }
    out += texts;
    put64(out, 56, quint64(out.size()));
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.constData()), 28);
    crc = crc32_z(crc, reinterpret_cast<const Bytef*>(out.constData() + headerSize), size_t(textsAt - headerSize));
    put32(out, 28, quint32(crc));
    return out;
}

std::shared_ptr<const Store> Store::open(const QString& path, QString* why)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *why = QStringLiteral("cannot be opened");
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < headerSize || st.st_size > maxStoreBytes) {
        ::close(fd);
        *why = QStringLiteral("no store");
        return nullptr;
    }
    void* map = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) {
        *why = QStringLiteral("cannot be mapped");
        return nullptr;
    }
    std::shared_ptr<Store> s(new Store);
    s->mapping_ = map;
    s->data_ = static_cast<const char*>(map);
    s->size_ = qsizetype(st.st_size);
    return check(std::move(s), why);
}

std::shared_ptr<const Store> Store::fromBytes(QByteArray bytes, QString* why)
{
    std::shared_ptr<Store> s(new Store);
    s->bytes_ = std::move(bytes);
    s->data_ = s->bytes_.constData();
    s->size_ = s->bytes_.size();
    return check(std::move(s), why);
}

Store::~Store()
{
    if (mapping_)
        ::munmap(mapping_, size_t(size_));
}

quint32 Store::u32(qsizetype at) const
{
    quint32 v;
    std::memcpy(&v, data_ + at, 4);
    return v;
}

std::shared_ptr<const Store> Store::check(std::shared_ptr<Store> s, QString* why)
{
    auto damaged = [why](const char* what) {
        *why = QString::fromLatin1(what);
        return nullptr;
    };
    if (s->size_ < headerSize || std::memcmp(s->data_, magic, sizeof magic) != 0)
        return damaged("no store");
    if (s->u32(8) != version || s->u32(12) != byteOrder || s->u32(16) != foldVersion)
        return damaged("another version");
    auto u64 = [&](qsizetype at) {
        quint64 v;
        std::memcpy(&v, s->data_ + at, 8);
        return v;
    };
    const quint64 channels = s->u32(20), programmes = s->u32(24);
    const quint64 metaAt = u64(32), programmesAt = u64(40), textsAt = u64(48), size = u64(56);
    if (size != quint64(s->size_) || metaAt != quint64(headerSize) + channelSize * channels || programmesAt < metaAt
        || programmesAt % 4 != 0 || textsAt != programmesAt + programmeSize * programmes || textsAt > size)
        return damaged("damaged");
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(s->data_), 28);
    crc = crc32_z(crc, reinterpret_cast<const Bytef*>(s->data_ + headerSize), size_t(textsAt - headerSize));
    if (quint32(crc) != s->u32(28))
        return damaged("damaged");
    s->channels_ = int(channels);
    s->programmes_ = int(programmes);
    s->metaAt_ = qsizetype(metaAt);
    s->programmesAt_ = qsizetype(programmesAt);
    s->textsAt_ = qsizetype(textsAt);
    // The checksum says the tables are as written; that they are sound is
    // checked once here, so that no query ever reads out of bounds.
    for (int c = 0; c < s->channels_; ++c) {
        const qsizetype at = headerSize + channelSize * c;
        const quint64 metaPos = s->u32(at), metaLen = s->u32(at + 4);
        const quint64 first = s->u32(at + 8), count = s->u32(at + 12);
        const quint64 textPos = u64(at + 16), textLen = s->u32(at + 24), rawLen = s->u32(at + 28);
        if (metaPos + metaLen > programmesAt - metaAt || first + count > programmes || textPos > size - textsAt
            || textLen > size - textsAt - textPos || rawLen > maxBlockBytes)
            return damaged("damaged");
    }
    return s;
}

QByteArrayView Store::metaBytes(int channel) const
{
    const qsizetype at = headerSize + channelSize * channel;
    return QByteArrayView(data_ + metaAt_ + u32(at), u32(at + 4));
}

Store::ChannelMeta Store::channel(int channel) const
{
    QStringList fields = QString::fromUtf8(metaBytes(channel)).split(QChar(separator));
    ChannelMeta m;
    m.id = fields.value(0);
    m.country = fields.value(1);
    m.names = fields.mid(2);
    return m;
}

int Store::firstProgramme(int channel) const { return int(u32(headerSize + channelSize * channel + 8)); }
int Store::programmeCountOf(int channel) const { return int(u32(headerSize + channelSize * channel + 12)); }
quint32 Store::start(int programme) const { return u32(programmesAt_ + programmeSize * programme); }
quint32 Store::stop(int programme) const { return u32(programmesAt_ + programmeSize * programme + 4); }

int Store::firstEndingAfter(int channel, quint32 t) const
{
    int lo = firstProgramme(channel), hi = lo + programmeCountOf(channel);
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (stop(mid) > t)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

QByteArray Store::unpacked(int channel) const
{
    const QMutexLocker lock(&mutex_);
    for (qsizetype i = recent_.size() - 1; i >= 0; --i) {
        if (recent_.at(i).first == channel) {
            if (i != recent_.size() - 1)
                recent_.move(i, recent_.size() - 1);
            return recent_.last().second;
        }
    }
    const qsizetype at = headerSize + channelSize * channel;
    quint64 textPos;
    std::memcpy(&textPos, data_ + at + 16, 8);
    const quint32 packedLen = u32(at + 24), rawLen = u32(at + 28);
    QByteArray raw;
    if (rawLen > 0) {
        raw.resize(qsizetype(rawLen));
        uLongf len = rawLen;
        if (uncompress(reinterpret_cast<Bytef*>(raw.data()), &len,
                       reinterpret_cast<const Bytef*>(data_ + textsAt_ + qsizetype(textPos)), packedLen)
                != Z_OK
            || len != rawLen) {
            damaged_ = true;
            return {};
        }
    }
    if (recent_.size() >= recentBlocks)
        recent_.removeFirst();
    recent_.append({channel, raw});
    return raw;
}

bool Store::texts(int channel, int programme, Texts* out) const
{
    *out = {};
    const int first = firstProgramme(channel);
    if (programme < first || programme >= first + programmeCountOf(channel))
        return false;
    const QByteArray block = unpacked(channel);
    qsizetype at = u32(programmesAt_ + programmeSize * programme + 8);
    Texts t;
    if (at > block.size() || !takeString(block, &at, &t.title) || !takeString(block, &at, &t.subTitle)
        || !takeString(block, &at, &t.description) || !takeString(block, &at, &t.category)) {
        damaged_ = true;
        return false;
    }
    *out = std::move(t);
    return true;
}

} // namespace miravon::guide
