#include "xmltv.h"

#include <QHash>
#include <QLoggingCategory>
#include <QXmlStreamReader>

#include <algorithm>
#include <limits>

#include <zlib.h>

Q_LOGGING_CATEGORY(lcXmltv, "miravon.guide.xmltv", QtWarningMsg)

namespace miravon::guide {
namespace {

// A single token (one text, one tag) the XML reader has to hold whole: a
// guide's longest is a description of a few KiB. A body that never closes
// its text would otherwise grow the reader's buffer up to the size bound.
constexpr qint64 maxTokenBytes = 4 * 1024 * 1024;
// Ids of <channel> elements remembered, wanted or not.
constexpr int maxChannelIds = 200000;
constexpr int maxDisplayNames = 8;
// Programmes of one channel in the 54 hours kept: one every two minutes.
constexpr int maxProgrammesPerChannel = 1600;
constexpr int maxCategories = 3;
constexpr int maxTitleChars = 300;
constexpr int maxDescriptionChars = 1000;
// Bytes handed to the XML reader at once.
constexpr qsizetype sliceBytes = 64 * 1024;

int digits(QStringView s, qsizetype at, qsizetype n)
{
    int v = 0;
    for (qsizetype i = at; i < at + n; ++i)
        v = v * 10 + (s.at(i).unicode() - '0');
    return v;
}

bool isDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int daysInMonth(int y, int m)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

// Seconds east of UTC of a zone as XMLTV writes it; nothing when it is none.
std::optional<int> zoneOffset(QStringView z)
{
    if (z.isEmpty() || z.compare(u"Z", Qt::CaseInsensitive) == 0 || z.compare(u"UTC", Qt::CaseInsensitive) == 0
        || z.compare(u"GMT", Qt::CaseInsensitive) == 0)
        return 0;
    if (z.size() < 3 || (z.at(0) != u'+' && z.at(0) != u'-'))
        return std::nullopt;
    const int sign = z.at(0) == u'-' ? -1 : 1;
    QString hm = z.mid(1).toString();
    if (hm.size() == 5 && hm.at(2) == u':')
        hm.remove(2, 1);
    if ((hm.size() != 4 && hm.size() != 2) || !std::all_of(hm.cbegin(), hm.cend(), isDigit))
        return std::nullopt;
    const int h = digits(hm, 0, 2), m = hm.size() == 4 ? digits(hm, 2, 2) : 0;
    if (h > 14 || m > 59)
        return std::nullopt;
    return sign * (h * 3600 + m * 60);
}

// 0 best: Vietnamese, then the channel's language, then untagged, then any.
int languageRank(QStringView lang, const QString& hint)
{
    if (lang.isEmpty())
        return 2;
    qsizetype cut = 0;
    while (cut < lang.size() && lang.at(cut) != u'-' && lang.at(cut) != u'_')
        ++cut;
    const QStringView primary = lang.left(cut);
    if (primary.compare(u"vi", Qt::CaseInsensitive) == 0 || primary.compare(u"vie", Qt::CaseInsensitive) == 0)
        return 0;
    if (!hint.isEmpty() && primary.compare(hint, Qt::CaseInsensitive) == 0)
        return 1;
    return 3;
}

// Streaming inflate of one or more gzip members.
class Inflater {
public:
    Inflater() = default;
    ~Inflater()
    {
        if (ready_)
            inflateEnd(&z_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates `in`, handing each piece of output to `out` (which returns
    // false to stop). False on damaged data or when `out` stopped.
    template<typename Out>
    bool push(QByteArrayView in, Out&& out)
    {
        if (!ready_) {
            z_ = {};
            if (inflateInit2(&z_, 15 + 16) != Z_OK)
                return false;
            ready_ = true;
        }
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z_.avail_in = uInt(in.size());
        char buffer[sliceBytes];
        while (z_.avail_in > 0 && !done_) {
            if (between_) {
                // Another member may follow; anything else after the end is
                // not the guide's and is left alone.
                if (z_.avail_in < 2 || z_.next_in[0] != 0x1f || z_.next_in[1] != 0x8b) {
                    done_ = true;
                    break;
                }
                inflateReset(&z_);
                between_ = false;
            }
            z_.next_out = reinterpret_cast<Bytef*>(buffer);
            z_.avail_out = sizeof buffer;
            const int rc = inflate(&z_, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
                return false;
            const qsizetype produced = qsizetype(sizeof buffer - z_.avail_out);
            if (produced > 0 && !out(QByteArrayView(buffer, produced)))
                return false;
            if (rc == Z_STREAM_END)
                between_ = true;
            else if (rc == Z_BUF_ERROR && produced == 0)
                break;
        }
        return true;
    }
    // Whether the last member ended.
    bool ended() const { return between_ || done_; }

private:
    z_stream z_{};
    bool ready_ = false;
    bool between_ = false; // a member has ended
    bool done_ = false;    // and no other follows
};

} // namespace

std::optional<qint64> parseXmltvTime(QStringView s)
{
    s = s.trimmed();
    qsizetype n = 0;
    while (n < s.size() && isDigit(s.at(n)))
        ++n;
    if (n < 8 || n > 14 || n % 2)
        return std::nullopt;
    const int y = digits(s, 0, 4), mo = digits(s, 4, 2), d = digits(s, 6, 2);
    const int h = n >= 10 ? digits(s, 8, 2) : 0;
    const int mi = n >= 12 ? digits(s, 10, 2) : 0;
    const int sec = n >= 14 ? digits(s, 12, 2) : 0;
    if (mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo) || h > 23 || mi > 59 || sec > 60)
        return std::nullopt;
    const std::optional<int> offset = zoneOffset(s.mid(n).trimmed());
    if (!offset)
        return std::nullopt;
    return daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + sec - *offset;
}

QString failureText(ReadFailure failure, const QString& detail)
{
    QString text;
    switch (failure) {
    case ReadFailure::None: return {};
    case ReadFailure::TooLarge: text = QStringLiteral("lịch quá lớn"); break;
    case ReadFailure::Stalled: text = QStringLiteral("nguồn ngừng gửi dữ liệu"); break;
    case ReadFailure::TimedOut: text = QStringLiteral("đọc quá lâu"); break;
    case ReadFailure::Unreachable: text = QStringLiteral("không tải được"); break;
    case ReadFailure::NotXmltv: text = QStringLiteral("không phải lịch phát sóng XMLTV"); break;
    case ReadFailure::Malformed: text = QStringLiteral("lịch bị lỗi"); break;
    case ReadFailure::Entities: text = QStringLiteral("lịch khai báo thực thể XML, không được đọc"); break;
    case ReadFailure::NoProgrammes:
        text = QStringLiteral("không có chương trình nào của các kênh trong danh sách, từ 6 giờ trước trở đi");
        break;
    case ReadFailure::Cancelled: text = QStringLiteral("đã dừng"); break;
    }
    return detail.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, detail);
}

struct XmltvReader::Private {
    std::shared_ptr<const ChannelMatcher> matcher;
    ReadOptions options;
    ReadFailure failure = ReadFailure::None;
    QString detail;

    // Input.
    bool sniffed = false;
    QByteArray head; // the first bytes, until gzip or not is known
    std::unique_ptr<Inflater> inflater;
    qint64 bytesIn = 0;
    qint64 bytesOut = 0;
    QXmlStreamReader xml;
    qint64 sinceToken = 0;
    bool startsAsXml = false;
    bool ended = false;

    // Where the reader is.
    int depth = 0;
    int skipDepth = 0; // inside an element that is not read, until it ends
    enum class In { Nothing, Channel, Programme } in = In::Nothing;
    enum class Field { None, DisplayName, Title, SubTitle, Description, Category } field = Field::None;
    int fieldRank = 0;
    QString text;

    // The channel element being read.
    QString channelId;
    QStringList displayNames;

    // The programme being read.
    struct Pending {
        qint64 start = 0;
        qint64 stop = -1; // -1: none given
        int order = 0;
        QByteArray texts;
    };
    int programmeChannel = -1;
    Pending programme;
    Texts texts;
    int ranks[4] = {};
    QStringList categories;

    // What is kept.
    QHash<QString, int> channelIndex; // guide id -> kept channel, -1 when not wanted
    struct Kept {
        ChannelRecord record;
        QString language;
        QList<Pending> pending;
    };
    QList<Kept> kept;
    int malformed = 0;
    int order = 0;

    bool fail(ReadFailure f, const QString& why = {})
    {
        if (failure == ReadFailure::None) {
            failure = f;
            detail = why;
        }
        return false;
    }

    bool takeBytes(QByteArrayView bytes);
    bool pump();
    void startElement();
    void endElement();
    void endChannel();
    void startProgramme();
    void endProgramme();
    int keep(const QString& id, const QStringList& folded, const ChannelMatcher::Served& served);
    ReadOutcome result();
};

XmltvReader::XmltvReader(std::shared_ptr<const ChannelMatcher> matcher, ReadOptions options)
    : d(std::make_unique<Private>())
{
    d->matcher = matcher ? std::move(matcher) : std::make_shared<const ChannelMatcher>();
    d->options = std::move(options);
    d->xml.setNamespaceProcessing(false);
    // Entities are refused where the document declares them; this bounds
    // whatever might still expand before that.
    d->xml.setEntityExpansionLimit(1024);
}

XmltvReader::~XmltvReader() = default;

ReadFailure XmltvReader::failure() const { return d->failure; }
QString XmltvReader::detail() const { return d->detail; }
qint64 XmltvReader::bytesIn() const { return d->bytesIn; }

bool XmltvReader::feed(QByteArrayView bytes)
{
    if (d->failure != ReadFailure::None)
        return false;
    d->bytesIn += bytes.size();
    if (d->bytesIn > d->options.maxBytes)
        return d->fail(ReadFailure::TooLarge, QStringLiteral("hơn %1 MiB").arg(d->options.maxBytes / (1024 * 1024)));
    if (!d->sniffed) {
        d->head += bytes;
        if (d->head.size() < 2)
            return true;
        d->sniffed = true;
        if (quint8(d->head.at(0)) == 0x1f && quint8(d->head.at(1)) == 0x8b)
            d->inflater = std::make_unique<Inflater>();
        const QByteArray first = std::exchange(d->head, {});
        bytes = first;
        if (d->inflater)
            return d->inflater->push(bytes, [this](QByteArrayView out) { return d->takeBytes(out); })
                || d->fail(ReadFailure::Malformed, QStringLiteral("gzip hỏng"));
        return d->takeBytes(bytes);
    }
    if (d->inflater)
        return d->inflater->push(bytes, [this](QByteArrayView out) { return d->takeBytes(out); })
            || d->fail(ReadFailure::Malformed, QStringLiteral("gzip hỏng"));
    return d->takeBytes(bytes);
}

bool XmltvReader::Private::takeBytes(QByteArrayView bytes)
{
    if (failure != ReadFailure::None)
        return false;
    if (ended)
        return true; // after the root element: nothing more is read
    if (bytesOut == 0) {
        // After a byte-order mark (UTF-8, UTF-16) and blanks, XML begins with '<'.
        QByteArrayView head = bytes;
        if (head.startsWith("\xEF\xBB\xBF"))
            head = head.sliced(3);
        qsizetype i = 0;
        while (i < head.size() && (head.at(i) == ' ' || head.at(i) == '\n' || head.at(i) == '\r' || head.at(i) == '\t'
                                   || head.at(i) == '\0' || quint8(head.at(i)) >= 0xfe))
            ++i;
        startsAsXml = i < head.size() && head.at(i) == '<';
    }
    for (qsizetype at = 0; at < bytes.size(); at += sliceBytes) {
        const QByteArrayView slice = bytes.sliced(at, std::min(sliceBytes, bytes.size() - at));
        bytesOut += slice.size();
        if (bytesOut > options.maxBytes)
            return fail(ReadFailure::TooLarge, QStringLiteral("hơn %1 MiB").arg(options.maxBytes / (1024 * 1024)));
        xml.addData(slice.toByteArray());
        sinceToken += slice.size();
        if (!pump())
            return false;
        if (ended)
            return true;
    }
    return true;
}

// Reads every token the data given so far holds.
bool XmltvReader::Private::pump()
{
    for (;;) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        switch (token) {
        case QXmlStreamReader::Invalid:
            if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
                if (sinceToken > maxTokenBytes)
                    return fail(ReadFailure::Malformed, QStringLiteral("một phần tử lớn hơn %1 MiB")
                                                            .arg(maxTokenBytes / (1024 * 1024)));
                return true; // more is to come
            }
            // Bytes that do not even begin as XML are no guide; an XML
            // document is a broken guide, wherever its fault lies (the
            // decoder may find a bad byte before the first element).
            if (depth == 0 && !startsAsXml)
                return fail(ReadFailure::NotXmltv);
            return fail(ReadFailure::Malformed, QStringLiteral("dòng %1").arg(xml.lineNumber()));
        case QXmlStreamReader::DTD:
            if (!xml.entityDeclarations().isEmpty())
                return fail(ReadFailure::Entities);
            break;
        case QXmlStreamReader::StartElement:
            startElement();
            if (failure != ReadFailure::None)
                return false;
            break;
        case QXmlStreamReader::EndElement:
            endElement();
            break;
        case QXmlStreamReader::Characters:
            if (field != Field::None && skipDepth == 0) {
                const int room = (field == Field::Description ? maxDescriptionChars : maxTitleChars) + 1
                    - int(text.size());
                if (room > 0)
                    text += xml.text().left(room);
            }
            break;
        case QXmlStreamReader::EntityReference:
            // An entity the document does not declare (only an external
            // DTD could): never looked up.
            break;
        case QXmlStreamReader::EndDocument:
            ended = true;
            return true;
        default:
            break;
        }
        sinceToken = 0;
    }
}

void XmltvReader::Private::startElement()
{
    ++depth;
    if (skipDepth)
        return;
    const QStringView name = xml.name();
    if (depth == 1) {
        if (name != u"tv")
            fail(ReadFailure::NotXmltv, QStringLiteral("<%1>").arg(name.left(40)));
        return;
    }
    if (depth == 2) {
        if (name == u"channel") {
            in = In::Channel;
            channelId = xml.attributes().value(QLatin1StringView("id")).trimmed().left(maxTitleChars).toString();
            displayNames.clear();
        } else if (name == u"programme") {
            startProgramme();
        } else {
            skipDepth = depth;
        }
        return;
    }
    if (depth == 3 && in == In::Channel && name == u"display-name") {
        field = Field::DisplayName;
    } else if (depth == 3 && in == In::Programme) {
        if (name == u"title")
            field = Field::Title;
        else if (name == u"sub-title")
            field = Field::SubTitle;
        else if (name == u"desc")
            field = Field::Description;
        else if (name == u"category")
            field = Field::Category;
        else
            skipDepth = depth;
        if (field != Field::None)
            fieldRank = languageRank(xml.attributes().value(QLatin1StringView("lang")),
                                     kept.at(programmeChannel).language);
    } else {
        skipDepth = depth; // icons, addresses, credits, ...: never looked at
    }
    text.clear();
}

void XmltvReader::Private::endElement()
{
    const int ending = depth--;
    if (skipDepth) {
        if (ending == skipDepth)
            skipDepth = 0;
        return;
    }
    if (ending == 3 && field != Field::None) {
        const QString value = field == Field::Description ? text.trimmed() : text.simplified();
        auto set = [&](QString& slot, int& rank, int limit) {
            if (value.isEmpty() || (!slot.isEmpty() && rank <= fieldRank))
                return;
            slot = value.size() > limit ? value.left(limit - 1) + QChar(0x2026) : value;
            rank = fieldRank;
        };
        switch (field) {
        case Field::DisplayName:
            if (!value.isEmpty() && displayNames.size() < maxDisplayNames)
                displayNames << value.left(maxTitleChars);
            break;
        case Field::Title: set(texts.title, ranks[0], maxTitleChars); break;
        case Field::SubTitle: set(texts.subTitle, ranks[1], maxTitleChars); break;
        case Field::Description: set(texts.description, ranks[2], maxDescriptionChars); break;
        case Field::Category:
            if (value.isEmpty())
                break;
            if (categories.isEmpty() || fieldRank < ranks[3]) {
                categories = {value.left(maxTitleChars)};
                ranks[3] = fieldRank;
            } else if (fieldRank == ranks[3] && categories.size() < maxCategories && !categories.contains(value)) {
                categories << value.left(maxTitleChars);
            }
            break;
        case Field::None: break;
        }
        field = Field::None;
        text.clear();
        return;
    }
    if (ending == 2 && in == In::Channel)
        endChannel();
    else if (ending == 2 && in == In::Programme)
        endProgramme();
    if (ending == 2)
        in = In::Nothing;
    if (ending == 1)
        ended = true;
}

int XmltvReader::Private::keep(const QString& id, const QStringList& folded, const ChannelMatcher::Served& served)
{
    Kept k;
    k.record.id = id;
    k.record.country = countryOfId(id);
    if (k.record.country.isEmpty())
        k.record.country = options.country;
    k.record.names = folded;
    const int first = !served.byId.isEmpty() ? served.byId.first() : served.byName.first();
    k.language = matcher->channels().at(first).language;
    kept.append(std::move(k));
    return int(kept.size() - 1);
}

void XmltvReader::Private::endChannel()
{
    if (channelId.isEmpty() || channelIndex.contains(channelId))
        return; // a channel given twice keeps its first
    QStringList folded;
    for (const QString& n : std::as_const(displayNames)) {
        const QString f = foldName(n);
        if (!f.isEmpty() && !folded.contains(f))
            folded << f;
    }
    QString country = countryOfId(channelId);
    if (country.isEmpty())
        country = options.country;
    const ChannelMatcher::Served served = matcher->serve(channelId, folded, country);
    if (!served.isEmpty())
        channelIndex.insert(channelId, keep(channelId, folded, served));
    else if (channelIndex.size() < maxChannelIds)
        channelIndex.insert(channelId, -1);
}

void XmltvReader::Private::startProgramme()
{
    in = In::Programme;
    programmeChannel = -1;
    const QXmlStreamAttributes attributes = xml.attributes();
    const QString id = attributes.value(QLatin1StringView("channel")).trimmed().toString();
    const auto it = channelIndex.constFind(id);
    if (it != channelIndex.cend()) {
        programmeChannel = *it;
    } else if (!id.isEmpty() && id.size() <= maxTitleChars) {
        // A programme of a channel the guide did not declare: its id alone
        // can match.
        ChannelMatcher::Served served;
        served.byId = matcher->byId(id);
        if (!served.byId.isEmpty())
            programmeChannel = keep(id, {}, served);
        if (programmeChannel >= 0 || channelIndex.size() < maxChannelIds)
            channelIndex.insert(id, programmeChannel);
    }
    if (programmeChannel < 0) {
        skipDepth = depth;
        return;
    }
    const std::optional<qint64> start = parseXmltvTime(attributes.value(QLatin1StringView("start")));
    const QStringView stopText = attributes.value(QLatin1StringView("stop"));
    const std::optional<qint64> stop = stopText.trimmed().isEmpty() ? std::optional<qint64>(-1)
                                                                      : parseXmltvTime(stopText);
    constexpr qint64 last = std::numeric_limits<quint32>::max();
    if (!start || !stop || *start < 0 || *start > last || *stop > last || (*stop >= 0 && *stop <= *start)) {
        ++malformed;
        skipDepth = depth;
        return;
    }
    const qint64 now = options.now;
    // Outside the window: not read further. One without a stop may still
    // reach into it, ending where the next begins.
    if (*start >= now + keepAfterSecs || (*stop >= 0 && *stop <= now - keepBeforeSecs)
        || (*stop < 0 && *start < now - keepBeforeSecs - 24 * 3600)
        || kept.at(programmeChannel).pending.size() >= maxProgrammesPerChannel) {
        skipDepth = depth;
        return;
    }
    programme = {*start, *stop, order++, {}};
    texts = {};
    categories.clear();
    std::fill(std::begin(ranks), std::end(ranks), 0);
}

void XmltvReader::Private::endProgramme()
{
    if (programmeChannel < 0)
        return;
    texts.category = categories.join(QStringLiteral(", "));
    programme.texts = packTexts(texts);
    kept[programmeChannel].pending.append(std::move(programme));
    programmeChannel = -1;
}

ReadOutcome XmltvReader::Private::result()
{
    ReadOutcome r;
    r.malformed = malformed;
    r.bytes = bytesOut;
    const qint64 from = options.now - keepBeforeSecs, to = options.now + keepAfterSecs;
    for (Kept& k : kept) {
        QList<Pending>& p = k.pending;
        std::stable_sort(p.begin(), p.end(), [](const Pending& a, const Pending& b) { return a.start < b.start; });
        QList<Pending> sound;
        for (Pending& x : p) {
            if (!sound.isEmpty() && sound.last().start == x.start)
                continue; // two at one time: the first given stays
            if (!sound.isEmpty() && (sound.last().stop < 0 || sound.last().stop > x.start))
                sound.last().stop = x.start;
            sound.append(std::move(x));
        }
        if (!sound.isEmpty() && sound.last().stop < 0)
            sound.removeLast();
        for (const Pending& x : std::as_const(sound)) {
            if (x.stop > from && x.start < to)
                k.record.programmes.append({quint32(x.start), quint32(x.stop), x.texts});
        }
        p.clear();
        r.programmes += int(k.record.programmes.size());
        r.channels.append(std::move(k.record));
    }
    kept.clear();
    return r;
}

bool XmltvReader::finish()
{
    if (d->failure != ReadFailure::None)
        return false;
    if (!d->sniffed && !d->head.isEmpty()) {
        d->sniffed = true;
        if (!d->takeBytes(std::exchange(d->head, {})))
            return false;
    }
    if (d->inflater && !d->inflater->ended())
        return d->fail(ReadFailure::Malformed, QStringLiteral("tệp gzip bị cắt ngắn"));
    if (!d->ended) {
        if (d->bytesOut == 0)
            return d->fail(ReadFailure::NotXmltv, QStringLiteral("trống"));
        if (d->depth == 0 && d->kept.isEmpty())
            return d->fail(ReadFailure::NotXmltv);
        return d->fail(ReadFailure::Malformed, QStringLiteral("bị cắt ngắn"));
    }
    return true;
}

ReadOutcome XmltvReader::take()
{
    if (d->failure != ReadFailure::None || !d->ended)
        return {};
    ReadOutcome r = d->result();
    qCDebug(lcXmltv) << "read" << r.bytes << "bytes:" << r.channels.size() << "channels," << r.programmes
                     << "programmes kept," << r.malformed << "malformed";
    return r;
}

} // namespace miravon::guide
