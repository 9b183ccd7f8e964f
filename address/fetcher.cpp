#include "fetcher.h"
#include "sizelimits.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace miravon {
namespace {

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
    QNetworkReply* reply = network_->get(request);
    reply_ = reply;
    quiet_.start(std::max(1, limits.noProgressMs));
    if (limits.totalMs > 0)
        total_.start(limits.totalMs);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        quiet_.start();
        emit answering();
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (extent_ == Extent::Whole && status < 300 && length.isValid() && length.toLongLong() > limits_.maxBytes) {
            FetchResult r;
            r.failure = PlayFailure::PlaylistRefused;
            r.detail = QStringLiteral("larger than %1").arg(sizeText(limits_.maxBytes));
            finish(r);
        }
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
        FetchResult r;
        r.failure = PlayFailure::PlaylistRefused;
        r.detail = QStringLiteral("larger than %1").arg(sizeText(limits_.maxBytes));
        finish(r);
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
    if (r.status >= 400) {
        r.failure = failureFromStatus(r.status);
        r.detail = QStringLiteral("HTTP %1").arg(r.status);
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
    const QString reason = failureCheckText(result.failure);
    return result.detail.isEmpty() ? reason : QStringLiteral("%1 (%2)").arg(reason, result.detail);
}

} // namespace miravon
