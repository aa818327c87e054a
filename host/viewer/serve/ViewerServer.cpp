#include "viewer/serve/ViewerServer.h"

#include "viewer/serve/HangupWatch.h"
#include "viewer/serve/ListenSocket.h"
#include "viewer/serve/RequestDeadlines.h"
#include "viewer/serve/RequestGuard.h"
#include "viewer/serve/ServerLimits.h"
#include "viewer/serve/UiQueue.h"
#include "viewer/serve/UnreadAnswers.h"

#include "viewer/serve/ImageRequests.h"
#include "viewer/serve/MapRoutes.h"
#include "viewer/serve/PageTexts.h"
#include "viewer/serve/PageFiles.h"
#include "viewer/serve/ThumbnailBatch.h"

#include "viewer/Commands.h"
#include "viewer/Session.h"
#include "viewer/WPhotosAppController.h"

#include "foundation/NSString.h"
#include "messageui/MFMailComposeViewController.h"
#include "uikit/UIApplication.h"

#include <microhttpd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <unistd.h>

namespace viewer {

namespace {

// What a request is answered with. The bytes are shared, never copied: the
// page's files live as long as the server, a photo as long as a cache entry
// or a response holds it. A batch of thumbnails is many pieces, sent in turn.
struct Reply {
    unsigned status = 200;
    std::string type;
    BodyPieces body;
    bool thenQuit = false; // the `quit` command's answer: stop once it is sent
    std::string etag = {}; // a file of the page: kept by the browser and asked again with it
    bool unread = false; // a photo's or thumbnails' bytes: counted among the answers waiting to be read

    static Reply text(unsigned status, const std::string& text)
    {
        return { status, "text/plain; charset=utf-8", { std::make_shared<const std::string>(text + "\n") } };
    }
    static Reply json(const std::string& text) { return { 200, "application/json", { std::make_shared<const std::string>(text) } }; }
};

// A request waiting, suspended, for work on another thread.
struct Waiting {
    MHD_Connection* connection = nullptr;
    bool suspended = false;
    std::optional<Reply> reply;
    bool gone = false; // its client hung up meanwhile: the connection is closed, unanswered
    HangupWatch::Id watch = 0;
};

// The requests suspended now. Work on other threads answers them through
// here; once the server stops, every one left is answered with 503 and later
// answers are dropped, so no thread touches a connection that is gone.
class Suspended : public std::enable_shared_from_this<Suspended> {
public:
    explicit Suspended(HangupWatch& hangups)
        : hangups_(&hangups)
    {
    }

    // Suspends the connection of the request being handled; false when the
    // server is stopping and it must be answered at once.
    bool suspend(const std::shared_ptr<Waiting>& waiting)
    {
        std::lock_guard guard(lock_);
        if (stopping_)
            return false;
        waiting->suspended = true;
        waiting_.insert(waiting);
        MHD_suspend_connection(waiting->connection);
        return true;
    }

    void answer(const std::shared_ptr<Waiting>& waiting, Reply reply)
    {
        std::lock_guard guard(lock_);
        if (waiting->suspended)
            resume(waiting, std::move(reply));
    }

    // Once the request's client hangs up while it still waits, its
    // connection is closed and `gone` is called (on the watch's thread).
    void watch(const std::shared_ptr<Waiting>& waiting, int fd, std::function<void()> gone)
    {
        std::lock_guard guard(lock_);
        if (!waiting->suspended || !hangups_)
            return; // answered already
        waiting->watch = hangups_->watch(fd, [self = shared_from_this(), waiting, gone = std::move(gone)] {
            if (self->abandon(waiting))
                gone();
        });
    }

    void stop()
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        for (const auto& waiting : std::set(waiting_))
            resume(waiting, Reply::text(503, "the viewer is stopping"));
        hangups_ = nullptr; // nothing is watched any more
    }

private:
    // True when the request still waited: it will be closed unanswered.
    bool abandon(const std::shared_ptr<Waiting>& waiting)
    {
        std::lock_guard guard(lock_);
        if (!waiting->suspended)
            return false;
        waiting->gone = true;
        resume(waiting, Reply::text(503, "the client has gone"));
        return true;
    }

    void resume(const std::shared_ptr<Waiting>& waiting, Reply reply)
    {
        if (waiting->watch && hangups_)
            hangups_->forget(waiting->watch);
        waiting->reply = std::move(reply);
        waiting->suspended = false;
        waiting_.erase(waiting);
        // libmicrohttpd calls the request's handler again, which sends the reply.
        MHD_resume_connection(waiting->connection);
    }

    std::mutex lock_;
    bool stopping_ = false;
    std::set<std::shared_ptr<Waiting>> waiting_;
    HangupWatch* hangups_;
};

// The state of one request across the calls libmicrohttpd makes for it.
struct Exchange {
    std::string body;
    size_t received = 0; // bytes of body, stored or not
    std::shared_ptr<Waiting> waiting;
};

std::optional<std::string_view> header(MHD_Connection* connection, MHD_ValueKind kind, const char* name)
{
    const char* value = MHD_lookup_connection_value(connection, kind, name);
    return value ? std::optional<std::string_view>(value) : std::nullopt;
}

// Every Content-Length of the request, to catch two that disagree.
std::vector<std::string> contentLengths(MHD_Connection* connection)
{
    std::vector<std::string> values;
    MHD_get_connection_values(
        connection, MHD_HEADER_KIND,
        [](void* cls, MHD_ValueKind, const char* key, const char* value) {
            if (strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) == 0)
                static_cast<std::vector<std::string>*>(cls)->push_back(value ? value : "");
            return MHD_YES;
        },
        &values);
    return values;
}

// The page file an address names: "/" is the page itself.
std::string pagePath(std::string_view url) { return url == "/" ? "index.html" : std::string(url.substr(1)); }

// A body of one piece, with what it holds, kept until the response is gone.
struct OnePiece {
    std::shared_ptr<const std::string> bytes;
    UnreadAnswers::Hold hold;

    static void free(void* cls) { delete static_cast<OnePiece*>(cls); }
};

// A body of many pieces, copied piece by piece into libmicrohttpd's buffer
// as it sends; it holds the pieces until the response is gone.
struct PieceReader {
    BodyPieces pieces;
    UnreadAnswers::Hold hold;
    size_t piece = 0; // where the last read ended
    size_t offset = 0;

    static ssize_t read(void* cls, uint64_t, char* buffer, size_t room)
    {
        // libmicrohttpd reads a response from its start to its end, in order.
        auto& self = *static_cast<PieceReader*>(cls);
        size_t copied = 0;
        while (copied < room && self.piece < self.pieces.size()) {
            const std::string& bytes = *self.pieces[self.piece];
            const size_t n = std::min(room - copied, bytes.size() - self.offset);
            std::memcpy(buffer + copied, bytes.data() + self.offset, n);
            copied += n;
            self.offset += n;
            if (self.offset == bytes.size()) {
                ++self.piece;
                self.offset = 0;
            }
        }
        return copied ? ssize_t(copied) : MHD_CONTENT_READER_END_OF_STREAM;
    }
    static void free(void* cls) { delete static_cast<PieceReader*>(cls); }
};

// `hold` counts the body among the answers waiting to be read until the
// response is gone: sent whole, or its connection closed.
MHD_Response* responseFor(const BodyPieces& body, UnreadAnswers::Hold hold)
{
    if (body.size() == 1) {
        // The response keeps its bytes alive through a shared pointer of its own.
        auto* keep = new OnePiece { body.front(), std::move(hold) };
        MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
            body.front()->size(), const_cast<char*>(body.front()->data()), &OnePiece::free, keep);
        if (!response)
            delete keep;
        return response;
    }
    uint64_t size = 0;
    for (const auto& piece : body)
        size += piece->size();
    auto* reader = new PieceReader { body, std::move(hold) };
    MHD_Response* response = MHD_create_response_from_callback(size, 64 * 1024, &PieceReader::read, reader, &PieceReader::free);
    if (!response)
        delete reader;
    return response;
}

MHD_Result send(MHD_Connection* connection, const Reply& reply, UnreadAnswers::Hold hold = nullptr)
{
    MHD_Response* response = responseFor(reply.body, std::move(hold));
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.type.c_str());
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    if (reply.status == 503)
        MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER, "1");
    if (reply.etag.empty()) {
        // The screen, photos and answers change under the same address.
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    } else {
        // Kept, but asked again on every use: a 304 costs a round trip, no body.
        MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
        MHD_add_response_header(response, MHD_HTTP_HEADER_ETAG, reply.etag.c_str());
    }
    const MHD_Result queued = MHD_queue_response(connection, reply.status, response);
    MHD_destroy_response(response);
    return queued;
}

} // namespace

struct ViewerServer::Impl {
    Impl(CommandRunner& commandRunner, WPhotosAppController& application, PhotoRenderer& renderer, PhotoRenderer& thumbnailRenderer,
        PhotoRenderer& previewRenderer)
        : runner(commandRunner)
        , app(application)
        , photos(renderer)
        , thumbnails(thumbnailRenderer)
        , previews(previewRenderer)
    {
    }

    // The screen and what the page shows beside it.
    nlohmann::ordered_json state()
    {
        nlohmann::ordered_json reply = answerCommand(runner, "show");
        // "index" names the photo's file among all (its pixels' URL); "position"
        // and "count" are the viewer's own, which its bar shows.
        if (auto shown = app.shownPhoto())
            reply["photo"] = { { "index", *shown }, { "position", app.currentIndex() }, { "count", app.viewerPhotoCount() } };
        else
            reply["photo"] = nullptr;
        auto mails = nlohmann::ordered_json::array();
        for (const auto& mail : MFMailComposeViewController::sentMails())
            mails.push_back({ { "to", mail.recipients }, { "subject", mail.subject }, { "handed", mail.handedToMailProgram } });
        NSString* pasted = UIPasteboard::generalPasteboard()->string();
        reply["system"] = {
            { "opened", UIApplication::sharedApplication()->openedURLs() },
            { "mails", mails },
            { "pasteboard", pasted ? nlohmann::ordered_json(pasted->str()) : nlohmann::ordered_json(nullptr) },
        };
        return reply;
    }

    static MHD_Result onRequest(void* cls, MHD_Connection* connection, const char* url, const char* method, const char*,
        const char* upload, size_t* uploadSize, void** requestState)
    {
        auto& self = *static_cast<Impl*>(cls);
        if (!*requestState) {
            auto* exchange = new Exchange;
            *requestState = exchange;
            // The head is complete and no byte of the body is read yet: the
            // cheapest moment to refuse.
            if (auto refused = self.screen(connection, url, method)) {
                self.deadlines.requestArrived(connection);
                return send(connection, *refused);
            }
            return MHD_YES;
        }
        auto& exchange = *static_cast<Exchange*>(*requestState);
        if (exchange.waiting && exchange.waiting->gone)
            return MHD_NO; // its client hung up: the connection is closed
        if (exchange.waiting && exchange.waiting->reply)
            return self.sendCounted(connection, *exchange.waiting->reply);
        if (*uploadSize) {
            // Counted whatever the encoding (a chunked body has no length to
            // check up front) and never stored beyond the limit. An answer
            // can only be sent once the body is read, so the rest is read
            // and dropped, up to a point: a longer one loses its connection.
            exchange.received += *uploadSize;
            if (exchange.received > limits::maxDrainBytes)
                return MHD_NO;
            if (exchange.received <= limits::maxBodyBytes)
                exchange.body.append(upload, *uploadSize);
            *uploadSize = 0;
            return MHD_YES;
        }
        self.deadlines.requestArrived(connection);
        if (exchange.received > limits::maxBodyBytes)
            return send(connection, Reply::text(413, "a request body is at most 16 KiB"));
        return self.route(connection, url, method, exchange);
    }

    static void onCompleted(void* cls, MHD_Connection* connection, void** requestState, MHD_RequestTerminationCode)
    {
        auto& self = *static_cast<Impl*>(cls);
        self.deadlines.answered(connection);
        auto* exchange = static_cast<Exchange*>(*requestState);
        if (exchange && exchange->waiting && exchange->waiting->reply && exchange->waiting->reply->thenQuit && self.onQuit)
            self.onQuit();
        delete exchange;
        *requestState = nullptr;
    }

    static void onConnection(void* cls, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code)
    {
        auto& deadlines = static_cast<Impl*>(cls)->deadlines;
        if (code == MHD_CONNECTION_NOTIFY_STARTED)
            deadlines.opened(connection, MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)->connect_fd);
        else
            deadlines.closed(connection);
    }

    // Refusals that need only the request's head.
    std::optional<Reply> screen(MHD_Connection* connection, const std::string_view url, const std::string_view method)
    {
        if (MHD_get_connection_values(connection, MHD_HEADER_KIND, nullptr, nullptr) > int(limits::maxHeaderCount))
            return Reply::text(431, "a request has at most " + std::to_string(limits::maxHeaderCount) + " header fields");
        const auto lengths = contentLengths(connection);
        if (lengths.size() > 1 && std::any_of(lengths.begin(), lengths.end(), [&](const auto& l) { return l != lengths.front(); }))
            return Reply::text(400, "the request has Content-Length headers that differ");
        if (!lengths.empty() && header(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING))
            return Reply::text(400, "the request has both Content-Length and Transfer-Encoding");
        RequestGuard::Request request {
            url,
            header(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST),
            header(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_ORIGIN),
            header(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_REFERER),
            header(connection, MHD_HEADER_KIND, "Sec-Fetch-Site"),
            header(connection, MHD_HEADER_KIND, RequestGuard::tokenHeader),
            method == MHD_HTTP_METHOD_GET && files->find(pagePath(url)),
        };
        if (auto refused = guard->refusal(request))
            return Reply::text(403, *refused);
        if (method != MHD_HTTP_METHOD_GET && method != MHD_HTTP_METHOD_HEAD && method != MHD_HTTP_METHOD_POST)
            return Reply::text(405, std::string(method) + " is not served");
        if (!lengths.empty() && std::strtoull(lengths.front().c_str(), nullptr, 10) > limits::maxBodyBytes)
            return Reply::text(413, "a request body is at most 16 KiB");
        return std::nullopt;
    }

    MHD_Result route(MHD_Connection* connection, const std::string_view url, const std::string_view method, Exchange& exchange)
    {
        const bool get = method == MHD_HTTP_METHOD_GET || method == MHD_HTTP_METHOD_HEAD;
        if (const PageFile* file = get ? files->find(pagePath(url)) : nullptr) {
            const bool kept = etagMatches(header(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_NONE_MATCH).value_or(""), file->etag);
            static const auto nothing = std::make_shared<const std::string>();
            Reply reply { kept ? 304u : 200u, file->type, { kept ? nothing : file->body } };
            reply.etag = file->etag;
            return send(connection, reply);
        }
        if (url == "/snapshot" && get)
            return later(connection, exchange, [this](auto answer) {
                ui.push([this, answer] { answer(Reply::json(answerText(state()))); });
            });
        if (url == "/command" && method == MHD_HTTP_METHOD_POST)
            return command(connection, exchange);
        if (url == "/page-texts" && get)
            return send(connection, Reply::json(pageTextsJson()));
        const QueryValue query = [connection](const char* name) { return header(connection, MHD_GET_ARGUMENT_KIND, name); };
        if (url.starts_with("/photo/") && get)
            return image(connection, exchange, url.substr(7), photos, photoBox);
        if (url.starts_with("/thumbnail/") && get) {
            const auto box = thumbnailBox(query("size"));
            if (!box)
                return send(connection, Reply::text(400, "size= is a number of pixels up to " + std::to_string(limits::maxThumbnailSide)));
            return image(connection, exchange, url.substr(11), thumbnails, *box);
        }
        if (url == "/thumbnails" && get)
            return thumbnailBatch(connection, exchange, query);
        if (url == "/previews" && get)
            return previewBatch(connection, exchange, query);
        if (get) {
            if (auto answer = answerMapRequest(url, query, mapTiles))
                return send(connection, { answer->status, answer->type, { std::make_shared<const std::string>(std::move(answer->body)) } });
        }
        return send(connection, Reply::text(404, "no " + std::string(url) + " here"));
    }

    MHD_Result command(MHD_Connection* connection, Exchange& exchange)
    {
        const std::string& line = exchange.body;
        if (line.empty() || line.size() > limits::maxCommandBytes)
            return send(connection, Reply::text(400, "a command is one line of at most 4096 bytes"));
        if (line.find_first_of("\r\n") != std::string::npos || line.find('\0') != std::string::npos)
            return send(connection, Reply::text(400, "a command is one line"));
        return later(connection, exchange, [this, line](auto answer) {
            ui.push([this, line, answer] {
                Reply reply = Reply::json(answerText(answerCommand(runner, line)));
                reply.thenQuit = runner.quitRequested();
                answer(std::move(reply));
            });
        });
    }

    // Sends an answer, counting a photo's or thumbnails' bytes among those
    // waiting to be read; one that does not fit beside them is refused.
    MHD_Result sendCounted(MHD_Connection* connection, const Reply& reply)
    {
        if (!reply.unread)
            return send(connection, reply);
        auto hold = unread.hold(reply.body);
        if (!hold)
            return send(connection, tooMuchUnread());
        return send(connection, reply, std::move(hold));
    }

    static Reply tooMuchUnread()
    {
        return Reply::text(503, "answers waiting to be read hold " + std::to_string(limits::maxUnreadAnswerBytes >> 20) + " MiB already");
    }

    // Photo N from `renderer`, fitted into `box`.
    MHD_Result image(MHD_Connection* connection, Exchange& exchange, std::string_view digits, PhotoRenderer& renderer, PhotoRenderer::Box box)
    {
        const auto index = numberBelow(digits, renderer.count());
        if (!index)
            return send(connection, Reply::text(404, "no photo " + std::string(digits)));
        if (unread.full())
            return send(connection, tooMuchUnread());
        const auto group = renderer.newGroup();
        return later(
            connection, exchange,
            [&renderer, index = *index, box, group](auto answer) {
                renderer.render(
                    index, box,
                    [answer](const PhotoRenderer::Result& result) {
                        if (!result.image)
                            return answer(Reply::text(422, result.error));
                        Reply reply { 200, result.image->contentType, { bytesOf(result.image) } };
                        reply.unread = true;
                        answer(std::move(reply));
                    },
                    group);
            },
            [&renderer, group] { renderer.withdraw(group); });
    }

    // A row of thumbnails in one response (ThumbnailBatch.h). Each comes
    // from the thumbnail renderer as /thumbnail/N does, the server's thread
    // never waiting for one; the response is sent once the last is ready.
    MHD_Result thumbnailBatch(MHD_Connection* connection, Exchange& exchange, const QueryValue& query)
    {
        auto asked = viewer::thumbnailBatch(query, thumbnails.count());
        if (auto* refused = std::get_if<std::string>(&asked))
            return send(connection, Reply::text(400, *refused));
        const ThumbnailBatch batch = std::get<ThumbnailBatch>(asked);
        if (unread.full())
            return send(connection, tooMuchUnread());
        const auto group = thumbnails.newGroup();
        auto start = [this, batch, group](auto answer) {
            struct Gathering {
                explicit Gathering(size_t count)
                    : results(count)
                    , left(count)
                {
                }
                std::vector<PhotoRenderer::Result> results; // each written by its own render's answer
                std::atomic<size_t> left;
            };
            auto gathering = std::make_shared<Gathering>(batch.count);
            for (size_t i = 0; i < batch.count; ++i)
                thumbnails.render(
                    batch.first + i, batch.box,
                    [gathering, i, batch, answer](const PhotoRenderer::Result& result) {
                        gathering->results[i] = result;
                        if (gathering->left.fetch_sub(1, std::memory_order_acq_rel) > 1)
                            return; // the last thumbnail's answer sends the response
                        FormBody body = thumbnailBatchBody(batch.first, gathering->results);
                        Reply reply { 200, std::move(body.contentType), std::move(body.pieces) };
                        reply.unread = true;
                        answer(std::move(reply));
                    },
                    group);
        };
        // A row the page scrolled away from is abandoned: its connection
        // closes, and the thumbnails not yet begun for it are not made.
        return later(connection, exchange, start, [this, group] { thumbnails.withdraw(group); });
    }

    // What a screen's cells can show at once (ThumbnailBatch.h), gathered
    // from the preview renderer as a row of thumbnails is.
    MHD_Result previewBatch(MHD_Connection* connection, Exchange& exchange, const QueryValue& query)
    {
        auto asked = viewer::previewBatch(query, previews.count());
        if (auto* refused = std::get_if<std::string>(&asked))
            return send(connection, Reply::text(400, *refused));
        const PreviewBatch batch = std::get<PreviewBatch>(asked);
        if (unread.full())
            return send(connection, tooMuchUnread());
        const auto group = previews.newGroup();
        auto start = [this, batch, group](auto answer) {
            struct Gathering {
                explicit Gathering(size_t count)
                    : results(count)
                    , left(count)
                {
                }
                std::vector<PhotoRenderer::Result> results;
                std::atomic<size_t> left;
            };
            const size_t count = batch.photos.count;
            auto gathering = std::make_shared<Gathering>(count);
            // The renderer's box carries the thumbnail's pixels and the cell's points.
            const PhotoRenderer::Box box { batch.photos.box.width, batch.side };
            const auto makeThumbnail = thumbnails.background();
            for (size_t i = 0; i < count; ++i)
                previews.render(
                    batch.photos.first + i, box,
                    [gathering, i, first = batch.photos.first, thumbnailBox = batch.photos.box, makeThumbnail, answer](
                        const PhotoRenderer::Result& result) {
                        // A cell that showed a preview gets its thumbnail even when
                        // its row is left before the page asks for it (a jump away
                        // from a screen just seen): it would show the preview again
                        // next time. Behind every request, so the rows in view come
                        // first; a row the page does ask for shares this decode.
                        if (result.image && result.image->fromPreview)
                            makeThumbnail(first + i, thumbnailBox);
                        gathering->results[i] = result;
                        if (gathering->left.fetch_sub(1, std::memory_order_acq_rel) > 1)
                            return;
                        FormBody body = previewBatchBody(first, gathering->results);
                        Reply reply { 200, std::move(body.contentType), std::move(body.pieces) };
                        reply.unread = true;
                        answer(std::move(reply));
                    },
                    group);
        };
        // As a row of thumbnails: a screen scrolled past is dropped.
        return later(connection, exchange, start, [this, group] { previews.withdraw(group); });
    }

    // An alias of a rendered image's bytes: no copy per request.
    static std::shared_ptr<const std::string> bytesOf(const std::shared_ptr<const PhotoRenderer::Image>& image)
    {
        return { image, &image->bytes };
    }

    // Suspends the request and hands `start` a function that answers it
    // from any thread. With `gone`, a client that hangs up meanwhile has its
    // connection closed and `gone` called, to drop the work begun for it;
    // without, it is answered all the same (a command is carried out, and a
    // client that only closed its sending side still reads the answer).
    template<class Start>
    MHD_Result later(MHD_Connection* connection, Exchange& exchange, Start start, std::function<void()> gone = {})
    {
        exchange.waiting = std::make_shared<Waiting>();
        exchange.waiting->connection = connection;
        if (!suspended->suspend(exchange.waiting))
            return send(connection, Reply::text(503, "the viewer is stopping"));
        // The answer may come after the server is gone (a decode finishing
        // late): it holds what it needs, and is dropped then.
        start([waiting = exchange.waiting, hub = suspended](Reply reply) { hub->answer(waiting, std::move(reply)); });
        if (gone)
            suspended->watch(exchange.waiting, MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)->connect_fd, std::move(gone));
        return MHD_YES;
    }

    CommandRunner& runner;
    WPhotosAppController& app;
    PhotoRenderer& photos;
    PhotoRenderer& thumbnails;
    PhotoRenderer& previews;
    PhotoRenderer::Box photoBox;
    std::function<void()> onQuit;
    std::optional<RequestGuard> guard;
    std::optional<PageFiles> files;
    bool loopback = true;
    int listenFd = -1;
    // Before `suspended`, which watches through it (and is gone first).
    HangupWatch hangups;
    std::shared_ptr<Suspended> suspended = std::make_shared<Suspended>(hangups);
    UnreadAnswers unread { limits::maxUnreadAnswerBytes };
    RequestDeadlines deadlines { std::chrono::seconds(limits::requestSeconds), limits::maxWaitingConnections,
        limits::maxConnections - limits::spareConnections };
    UiQueue ui;
    MHD_Daemon* daemon = nullptr;
    std::optional<std::string> mapTiles;
};

ViewerServer::ViewerServer(
    CommandRunner& runner, WPhotosAppController& app, PhotoRenderer& photos, PhotoRenderer& thumbnails, PhotoRenderer& previews)
    : impl_(std::make_unique<Impl>(runner, app, photos, thumbnails, previews))
{
}

ViewerServer::~ViewerServer()
{
    stop();
    if (impl_->listenFd >= 0)
        ::close(impl_->listenFd);
}

std::optional<std::string> ViewerServer::open(Setup setup)
{
    auto page = PageFiles::read(setup.webFolder);
    if (auto* failure = std::get_if<std::string>(&page))
        return *failure;
    impl_->files.emplace(std::move(std::get<PageFiles>(page)));
    if (setup.port < 0 || setup.port > 65535)
        return "port " + std::to_string(setup.port) + " is not between 0 and 65535";
    auto bound = ListenSocket::open(setup.address, setup.port);
    if (auto* failure = std::get_if<std::string>(&bound))
        return *failure;
    auto& socket = std::get<ListenSocket>(bound);
    impl_->listenFd = socket.fd;
    const bool loopback = RequestGuard::isLoopback(socket.address);
    std::string shown = socket.address;
    if (!loopback && (shown == "0.0.0.0" || shown == "::")) {
        // Every address of the machine: show its name, which others can reach.
        char name[256] = "";
        if (::gethostname(name, sizeof name - 1) == 0 && name[0])
            shown = name;
    }
    impl_->loopback = loopback;
    impl_->guard.emplace(shown, socket.names, socket.port, loopback ? std::string() : RequestGuard::makeToken());
    impl_->photoBox = setup.photoBox;
    impl_->mapTiles = std::move(setup.mapTiles);
    impl_->onQuit = std::move(setup.onQuit);
    return std::nullopt;
}

std::string ViewerServer::pageAddress() const { return impl_->guard ? impl_->guard->pageAddress() : std::string(); }

std::optional<std::string> ViewerServer::start()
{
    impl_->daemon = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0, nullptr,
        nullptr, &Impl::onRequest, impl_.get(),
        MHD_OPTION_LISTEN_SOCKET, impl_->listenFd,
        MHD_OPTION_NOTIFY_COMPLETED, &Impl::onCompleted, impl_.get(),
        MHD_OPTION_NOTIFY_CONNECTION, &Impl::onConnection, impl_.get(),
        MHD_OPTION_CONNECTION_LIMIT, limits::maxConnections,
        // On loopback every client has the same address, the page included.
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, impl_->loopback ? 0u : limits::maxConnectionsPerAddress,
        MHD_OPTION_CONNECTION_TIMEOUT, limits::idleSeconds,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits::connectionMemoryBytes,
        MHD_OPTION_STRICT_FOR_CLIENT, 1,
        MHD_OPTION_END);
    if (!impl_->daemon)
        return "cannot start serving on " + pageAddress();
    impl_->listenFd = -1; // the daemon closes it when it stops
    return std::nullopt;
}

void ViewerServer::stop()
{
    impl_->suspended->stop();
    impl_->ui.stop();
    if (impl_->daemon) {
        MHD_stop_daemon(impl_->daemon);
        impl_->daemon = nullptr;
    }
}

} // namespace viewer
