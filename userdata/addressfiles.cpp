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

} // namespace

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
        return QStringLiteral("Địa chỉ phải là một URL đầy đủ bắt đầu bằng http://, https://, rtsp://, mms://, "
                              "mmsh:// hoặc mmst://, hoặc một tệp video của máy này.");
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
