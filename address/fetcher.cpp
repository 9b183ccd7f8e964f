#include "fetcher.h"
#include "sizelimits.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace miravon {
namespace {

// Whether the answer came compressed (Content-Encoding other than
// identity): its body is what Qt unpacked.
bool packed(const QNetworkReply* reply)
{
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    return !encoding.isEmpty() && encoding != "identity";
}

FetchResult tooLarge(const QNetworkReply* reply, qint64 limit, qint64 received)
{
    FetchResult r;
    r.failure = PlayFailure::PlaylistRefused;
    r.problem = packed(reply) ? FetchProblem::Unpacked : FetchProblem::TooLarge;
    r.received = received;
    r.detail = r.problem == FetchProblem::Unpacked
        ? QStringLiteral("its compressed answer unpacks to more than %1").arg(sizeText(limit))
        : QStringLiteral("larger than %1").arg(sizeText(limit));
    return r;
}

} // namespace

QNetworkRequest documentRequest(const QUrl& url, const StreamOptions& options)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Miravon/1.0"));
    applyStreamOptions(request, options);
    return request;
}

Fetch::Fetch(QNetworkAccessManager* network, QObject* parent)
    : QObject(parent)
    , network_(network)
{
    quiet_.setSingleShot(true);
    total_.setSingleShot(true);
    auto timedOut = [this] {
        FetchResult r;
        r.failure = PlayFailure::TimedOut;
        finish(r);
    };
    connect(&quiet_, &QTimer::timeout, this, timedOut);
    connect(&total_, &QTimer::timeout, this, timedOut);
}

Fetch::~Fetch() { cancel(); }

void Fetch::setPeek(qint64 peekBytes, Peek peek)
{
    peekBytes_ = peekBytes;
    peek_ = std::move(peek);
}

void Fetch::cancel()
{
    quiet_.stop();
    total_.stop();
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
        reply_ = nullptr;
    }
}

void Fetch::start(const QNetworkRequest& request, const FetchLimits& limits, Extent extent)
{
    cancel();
    limits_ = limits;
    extent_ = extent;
    body_.clear();
    peeked_ = false;
    answered_ = false;
    visited_ = {request.url()};
    QNetworkReply* reply = network_->get(request);
    reply_ = reply;
    quiet_.start(std::max(1, limits.noProgressMs));
    if (limits.totalMs > 0)
        total_.start(limits.totalMs);
    // A redirect back to where one has been is a loop, told at once rather
    // than after the allowed number of them.
    connect(reply, &QNetworkReply::redirected, this, [this](const QUrl& to) {
        const QUrl target = visited_.last().resolved(to);
        if (visited_.contains(target)) {
            FetchResult r;
            r.failure = PlayFailure::PlaylistRefused;
            r.problem = FetchProblem::RedirectLoop;
            r.redirect = target;
            r.detail = QStringLiteral("redirects in a loop, back to %1").arg(target.toString());
            finish(r);
            return;
        }
        visited_ << target;
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        quiet_.start();
        answered_ = true;
        emit answering();
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (extent_ == Extent::Whole && status < 300 && length.isValid() && length.toLongLong() > limits_.maxBytes
            && !packed(reply_))
            finish(tooLarge(reply_, limits_.maxBytes, 0));
    });
    connect(reply, &QNetworkReply::readyRead, this, &Fetch::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &Fetch::onFinished);
}

// Takes what has come, within the limit; false when that ended the fetch.
bool Fetch::take()
{
    // Whole: one byte past the limit tells that it is too large.
    const qint64 room = limits_.maxBytes + (extent_ == Extent::Whole ? 1 : 0) - body_.size();
    if (room > 0)
        body_ += reply_->read(room);
    if (extent_ == Extent::Whole && body_.size() > limits_.maxBytes) {
        finish(tooLarge(reply_, limits_.maxBytes, body_.size()));
        return false;
    }
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (peek_ && !peeked_ && body_.size() >= peekBytes_ && status < 400) {
        peeked_ = true;
        const PlayFailure verdict = peek_(body_, reply_->header(QNetworkRequest::ContentTypeHeader).toByteArray());
        if (verdict != PlayFailure::None) {
            FetchResult r;
            r.failure = verdict;
            finish(r);
            return false;
        }
    }
    return true;
}

void Fetch::onReadyRead()
{
    if (!reply_)
        return;
    quiet_.start();
    if (take() && extent_ == Extent::Head && body_.size() >= limits_.maxBytes)
        conclude(true); // as much as was asked for: a stream goes on for ever
}

void Fetch::onFinished()
{
    if (!reply_ || !take())
        return;
    conclude(false);
}

void Fetch::conclude(bool stoppedEarly)
{
    QNetworkReply* reply = reply_;
    FetchResult r;
    r.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    r.url = reply->url();
    r.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    const QNetworkReply::NetworkError error = stoppedEarly ? QNetworkReply::NoError : reply->error();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    r.declared = length.isValid() && !packed(reply) ? length.toLongLong() : -1;
    r.received = body_.size();
    if (r.status >= 400) {
        r.failure = failureFromStatus(r.status);
        r.detail = QStringLiteral("HTTP %1").arg(r.status);
    } else if (error != QNetworkReply::NoError && redirectProblem(reply, error, &r)) {
        // said in r
    } else if (extent_ == Extent::Whole && packed(reply)
               && (error == QNetworkReply::UnknownContentError
                   || reply->errorString().contains(QLatin1String("ecompress")))) {
        // Qt's own guard against a compression bomb.
        r = tooLarge(reply, limits_.maxBytes, body_.size());
        r.problem = FetchProblem::Unpacked;
        r.detail = QStringLiteral("its compressed answer unpacks to far more than it is");
    } else if (extent_ == Extent::Whole && r.status < 300
               && ((error == QNetworkReply::NoError && r.declared >= 0 && body_.size() < r.declared)
                   || (error == QNetworkReply::RemoteHostClosedError && !body_.isEmpty()))) {
        r.failure = PlayFailure::ConnectionLost;
        r.problem = FetchProblem::Truncated;
        r.detail = r.declared >= 0 ? QStringLiteral("the answer broke off after %1 of its %2 bytes")
                                         .arg(body_.size())
                                         .arg(r.declared)
                                   : QStringLiteral("the answer broke off after %1 bytes").arg(body_.size());
    } else if (error != QNetworkReply::NoError && (extent_ == Extent::Whole || body_.isEmpty())) {
        r.failure = failureFromNetwork(error);
    } else {
        // A head that broke off after it came is still a head.
        r.body = body_;
        r.complete = !stoppedEarly && error == QNetworkReply::NoError;
        if (peek_ && !peeked_) {
            peeked_ = true;
            r.failure = peek_(body_, r.contentType);
            if (r.failure != PlayFailure::None)
                r.body.clear();
        }
    }
    finish(r);
}

// A redirect not followed: where it led, and why not.
bool Fetch::redirectProblem(const QNetworkReply* reply, QNetworkReply::NetworkError error, FetchResult* r)
{
    switch (error) {
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
        break;
    default:
        return false;
    }
    QUrl to = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (to.isEmpty())
        to = QUrl::fromEncoded(reply->rawHeader("Location"));
    to = reply->url().resolved(to);
    r->failure = PlayFailure::PlaylistRefused;
    r->redirect = to;
    const QString scheme = to.scheme().toLower();
    if (error == QNetworkReply::TooManyRedirectsError) {
        r->problem = FetchProblem::TooManyRedirects;
        r->detail = QStringLiteral("more than %1 redirects").arg(maxRedirects);
    } else if (!to.isEmpty() && scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        r->problem = FetchProblem::RedirectScheme;
        r->detail = QStringLiteral("redirected to a %1: address, which is never followed").arg(scheme);
    } else if (error == QNetworkReply::InsecureRedirectError) {
        r->problem = FetchProblem::LessSafe;
        r->detail = QStringLiteral("redirected from https to plain http, which is never followed");
    } else {
        r->problem = FetchProblem::RedirectScheme;
        r->detail = QStringLiteral("redirected to an address that is not http or https, which is never followed");
    }
    return true;
}

void Fetch::finish(FetchResult result)
{
    if (reply_ && result.url.isEmpty())
        result.url = reply_->url();
    if (reply_ && result.contentType.isEmpty())
        result.contentType = reply_->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    cancel();
    emit finished(result);
}

FetchResult fetchAndWait(const QUrl& url, const StreamOptions& options, const FetchLimits& limits)
{
    QNetworkAccessManager network;
    Fetch fetch(&network);
    FetchResult result;
    result.failure = PlayFailure::TimedOut;
    QEventLoop loop;
    QObject::connect(&fetch, &Fetch::finished, &loop, [&](const FetchResult& r) {
        result = r;
        loop.quit();
    });
    fetch.start(documentRequest(url, options), limits);
    if (fetch.isRunning())
        loop.exec();
    return result;
}

QString fetchFailureText(const FetchResult& result)
{
    // These say all in their detail.
    if (result.problem != FetchProblem::None && result.problem != FetchProblem::TooLarge && !result.detail.isEmpty())
        return result.detail;
    const QString reason = failureCheckText(result.failure);
    return result.detail.isEmpty() ? reason : QStringLiteral("%1 (%2)").arg(reason, result.detail);
}

} // namespace miravon
