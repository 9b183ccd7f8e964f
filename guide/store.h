#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

namespace miravon::guide {

// The texts of one programme, as shown.
struct Texts {
    QString title;
    QString subTitle;
    QString description;
    QString category; // its categories, ", " between them
};

// One programme as read and stored: times in seconds since the epoch (UTC),
// its texts packed by packTexts().
struct ProgrammeRecord {
    quint32 start = 0;
    quint32 stop = 0;
    QByteArray texts;
};

// One channel of a guide as kept: its id in the guide, the country that id
// or the guide's lists give it, its display names folded (foldName()), and
// its programmes in time order, none overlapping.
struct ChannelRecord {
    QString id;
    QString country;
    QStringList names;
    QList<ProgrammeRecord> programmes;
};

QByteArray packTexts(const Texts& texts);

// The programmes one guide gave, in one file of the cache folder, read back
// at start without parsing anything: the file is mapped, its tables are
// checked (a checksum) and used where they lie. Each channel's texts are
// one zlib block, unpacked when first asked for (their own checksum tells
// damage then; a few recent blocks are kept unpacked).
//
// Layout (native byte order, which the header checks):
//   header       64 bytes: magic, version, byte order, fold version,
//                counts, the tables' checksum, offsets, the file's size
//   channels     40 bytes each: meta position and length, first programme
//                and count, texts position, packed and unpacked length
//   meta         per channel, UTF-8: id, country, folded names, 0x1F apart
//   programmes   12 bytes each: start, stop, position of its texts
//   texts        a zlib block per channel: per programme four strings,
//                each a varint length and UTF-8 bytes
class Store {
public:
    static QByteArray encode(const QList<ChannelRecord>& channels);

    // Null with `why` when the file is missing, not one of this version, or
    // damaged: a cache, dropped without a word by the caller.
    static std::shared_ptr<const Store> open(const QString& path, QString* why);
    static std::shared_ptr<const Store> fromBytes(QByteArray bytes, QString* why);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    int channelCount() const { return channels_; }
    int programmeCount() const { return programmes_; }
    struct ChannelMeta {
        QString id;
        QString country;
        QStringList names; // folded
    };
    ChannelMeta channel(int channel) const;
    // The same as stored: UTF-8, the fields `metaSeparator` apart.
    QByteArrayView metaBytes(int channel) const;
    static constexpr char metaSeparator = '\x1f';

    // The programmes of a channel: [first, first + count) of the whole table.
    int firstProgramme(int channel) const;
    int programmeCountOf(int channel) const;
    quint32 start(int programme) const;
    quint32 stop(int programme) const;
    // The first programme of `channel` that ends after `t`; the end of its
    // range when none does.
    int firstEndingAfter(int channel, quint32 t) const;

    // The texts of a programme of `channel`; false (and nothing) when its
    // block is damaged, which damaged() then tells.
    bool texts(int channel, int programme, Texts* out) const;
    bool damaged() const { return damaged_.load(); }

private:
    Store() = default;
    static std::shared_ptr<const Store> check(std::shared_ptr<Store> store, QString* why);
    quint32 u32(qsizetype at) const;
    QByteArray unpacked(int channel) const;

    const char* data_ = nullptr;
    qsizetype size_ = 0;
    void* mapping_ = nullptr; // munmap()ed by the destructor
    QByteArray bytes_;        // or the bytes themselves
    int channels_ = 0;
    int programmes_ = 0;
    qsizetype metaAt_ = 0, programmesAt_ = 0, textsAt_ = 0;

    mutable QMutex mutex_;
    mutable QList<std::pair<int, QByteArray>> recent_; // unpacked blocks, newest last
    mutable std::atomic_bool damaged_{false};
};

} // namespace miravon::guide
