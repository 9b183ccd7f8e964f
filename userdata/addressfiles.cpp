#include "addressfiles.h"

#include "addresspolicy.h"
#include "folders.h"
#include "sizelimits.h"

namespace miravon::userdata {
namespace {

bool hasControlCharacter(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

const char* const columnNames[] = {"window", "control", "address", "referrer", "user_agent"};

} // namespace

QByteArray addressHeader(int columns)
{
    QByteArray out;
    for (int i = 0; i < columns && i < maxAddressColumns; ++i) {
        if (i > 0)
            out += '\t';
        out += columnNames[i];
    }
    return out + '\n';
}

int headerColumns(QStringView line)
{
    if (line.startsWith(QChar(0xFEFF)))
        line = line.sliced(1);
    if (line.endsWith(u'\r'))
        line.chop(1);
    int columns = 0;
    for (QStringView name : line.tokenize(u'\t')) {
        if (columns == maxAddressColumns || name != QLatin1StringView(columnNames[columns]))
            return 0;
        ++columns;
    }
    return columns >= minAddressColumns ? columns : 0;
}

bool isNoteLine(QStringView line)
{
    line = line.trimmed();
    return line.isEmpty() || line.startsWith(u'#');
}

qsizetype bomLength(QByteArrayView bytes) { return bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0; }

RowProblem rowProblem(const QString& address, const QString& referrer, const QString& userAgent,
                      AddressOrigin origin)
{
    if (address.size() > maxAddressChars || referrer.size() > maxAddressChars || userAgent.size() > maxAddressChars)
        return RowProblem::TooLong;
    if (hasControlCharacter(address) || hasControlCharacter(referrer) || hasControlCharacter(userAgent))
        return RowProblem::ControlCharacter;
    if (isLocalFileAddress(address))
        return origin == AddressOrigin::Own ? RowProblem::None : RowProblem::LocalFileNotAllowed;
    return isAcceptedAddress(address) ? RowProblem::None : RowProblem::NotAnAddress;
}

QString rowProblemText(RowProblem problem)
{
    switch (problem) {
    case RowProblem::None:
        return {};
    case RowProblem::NotAnAddress:
        return QStringLiteral("Địa chỉ phải là một URL đầy đủ bắt đầu bằng %1, hoặc một tệp video của máy này.")
            .arg(acceptedSchemesText(u"hoặc", u"://"));
    case RowProblem::LocalFileNotAllowed:
        return QStringLiteral("Chỉ tệp địa chỉ của riêng bạn mới được chỉ tới một tệp của máy này.");
    case RowProblem::TooLong:
        return QStringLiteral("Địa chỉ, trang giới thiệu hoặc tác nhân người dùng dài quá %1 ký tự.")
            .arg(maxAddressChars);
    case RowProblem::ControlCharacter:
        return QStringLiteral("Địa chỉ, trang giới thiệu hoặc tác nhân người dùng có ký tự điều khiển "
                              "(tab hoặc xuống dòng).");
    }
    return {};
}


QString ownFileName() { return QStringLiteral("addresses.tsv"); }

QString importFileName() { return QStringLiteral("addresses.import.tsv"); }

QString importStreamsFileName() { return QStringLiteral("addresses.import.streams.tsv"); }

QString streamsHeader() { return QStringLiteral("window\tcontrol\taddress\treferrer\tuser_agent\tlist\ttitle\n"); }

QString listChannelsFileName() { return QStringLiteral("addresses.import.channels.tsv"); }

QString overridePath() { return configDir() + u'/' + ownFileName(); }

QString importPath() { return configDir() + u'/' + importFileName(); }

} // namespace miravon::userdata
