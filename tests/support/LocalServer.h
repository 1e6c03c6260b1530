#pragma once

// A scripted web server on 127.0.0.1 for tests of the update check and its
// exchange, over plain HTTP or over HTTPS with a certificate made for the test.
//
//     LocalServer server(LocalServer::Scheme::Https);
//     ScopedCaBundle trust(server.certificate());   // or set QUARROW_CA_BUNDLE yourself
//     server.setReply("/check", {.status = 200, .body = "ok", .contentType = "text/plain; charset=utf-8"});
//     ... post to server.url("/check") ...
//     const RecordedRequest request = server.requests().at(0);
//     request.method, request.path, request.header("Content-Type"), request.body, request.fields
//
// A reply can be gzipped (Content-Encoding set by hand), chunked, delayed,
// never sent, or replaced by closing the connection; a path with no reply
// scripted answers 404. Every request is recorded, whatever its path or
// method. The bytes of a reply go out exactly as scripted: httplib's own
// compression is kept out of the way. The destructor releases handlers that
// are waiting, stops the server and joins its thread.

#include "tests/support/TempDir.h"

#include <httplib.h>
#include <zlib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#ifndef QUARROW_OPENSSL
#define QUARROW_OPENSSL "openssl"
#endif

extern char** environ;

namespace quarrow::test {

struct ScriptedReply {
    enum class Behaviour {
        Answer,            // sends the reply, after `delay`
        NeverAnswer,       // reads the request, then waits until the server goes
        CloseWithoutReply, // reads the request, then closes the connection
    };

    int status = 200;
    std::string body{};
    // Empty: no Content-Type of our own (httplib then sends "text/plain").
    std::string contentType = "text/plain; charset=utf-8";
    // The body is compressed when scripted and sent with "Content-Encoding: gzip".
    bool gzip = false;
    // Sent with "Transfer-Encoding: chunked" instead of a Content-Length.
    bool chunked = false;
    std::chrono::milliseconds delay{0};
    Behaviour behaviour = Behaviour::Answer;
    std::vector<std::pair<std::string, std::string>> headers{};
};

struct RecordedRequest {
    std::string method;
    std::string path;
    httplib::Headers headers; // names compare without regard to case
    std::string body;
    // The body read as a form: names and values percent-decoded ("+" is a
    // space), in the order sent; raw bytes, so UTF-8 stays UTF-8.
    std::vector<std::pair<std::string, std::string>> fields;

    // The first value of the header, or "" when it was not sent.
    std::string header(const std::string& name) const
    {
        const auto found = headers.find(name);
        return found == headers.end() ? std::string() : found->second;
    }
};

// gzip format (RFC 1952) as a Content-Encoding: gzip reply carries it.
inline std::string gzipped(std::string_view data)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate did not finish");
    return out;
}

// An address on 127.0.0.1 where nothing listens: a port the system just
// handed out and took back, so a connection there is refused.
inline std::string unusedAddress(const std::string& path = "/")
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("no free local port");
    }
    ::close(fd);
    return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + path;
}

// Points QUARROW_CA_BUNDLE at a file for the life of the object (an empty
// path unsets it) and puts back what was there before.
class ScopedCaBundle {
public:
    explicit ScopedCaBundle(const std::filesystem::path& bundle)
    {
        if (const char* old = std::getenv(kName))
            m_old = old;
        if (bundle.empty())
            ::unsetenv(kName);
        else
            ::setenv(kName, bundle.c_str(), 1);
    }
    ~ScopedCaBundle()
    {
        if (m_old)
            ::setenv(kName, m_old->c_str(), 1);
        else
            ::unsetenv(kName);
    }
    ScopedCaBundle(const ScopedCaBundle&) = delete;
    ScopedCaBundle& operator=(const ScopedCaBundle&) = delete;

private:
    static constexpr const char* kName = "QUARROW_CA_BUNDLE";
    std::optional<std::string> m_old;
};

class LocalServer {
public:
    enum class Scheme { Http, Https };

    explicit LocalServer(Scheme scheme = Scheme::Http) : m_scheme(scheme)
    {
        // httplib writes TLS through plain write(): a client that hangs up
        // early (as it should on an oversized reply) would raise SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        if (scheme == Scheme::Https) {
            makeCertificate();
            m_server = std::make_unique<httplib::SSLServer>(m_certificate.c_str(), m_key.c_str());
        } else {
            m_server = std::make_unique<httplib::Server>();
        }
        if (!m_server->is_valid())
            throw std::runtime_error("the test server could not be set up");
        m_server->new_task_queue = [] { return new httplib::ThreadPool(4); };
        const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
            handle(request, response);
        };
        m_server->Post(".*", handler);
        m_server->Get(".*", handler);
        m_server->Put(".*", handler);

        m_port = m_server->bind_to_any_port("127.0.0.1");
        if (m_port <= 0)
            throw std::runtime_error("the test server could not bind a port");
        m_thread = std::thread([this] {
            m_server->listen_after_bind();
            m_listenEnded = true;
        });
        // stop() does nothing until the accept loop runs, so wait for it.
        while (!m_server->is_running()) {
            if (m_listenEnded) {
                m_thread.join();
                throw std::runtime_error("the test server did not start");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    ~LocalServer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_server->stop();
        m_thread.join();
    }

    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    int port() const { return m_port; }

    // "http://127.0.0.1:<port><path>" or "https://...".
    std::string url(const std::string& path = "/") const
    {
        return std::string(m_scheme == Scheme::Https ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port)
               + path;
    }

    // The self-signed certificate (CN and SAN "localhost", SAN 127.0.0.1) of
    // an HTTPS server, to trust through QUARROW_CA_BUNDLE; empty for HTTP.
    const std::filesystem::path& certificate() const { return m_certificate; }

    // Every later request to `path` gets this reply.
    void setReply(const std::string& path, ScriptedReply reply)
    {
        if (reply.gzip)
            reply.body = gzipped(reply.body);
        auto shared = std::make_shared<const ScriptedReply>(std::move(reply));
        std::lock_guard lock(m_mutex);
        m_replies[path] = std::move(shared);
    }

    std::vector<RecordedRequest> requests() const
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    // Waits until `count` requests have come in (their bodies read, the reply
    // not yet sent); false when the time ran out first.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_requests.size() >= count; });
    }

private:
    void makeCertificate()
    {
        m_certificate = m_dir.path() / "certificate.pem";
        m_key = m_dir.path() / "key.pem";
        const std::string keyOut = m_key.string();
        const std::string certOut = m_certificate.string();
        std::vector<std::string> args = {QUARROW_OPENSSL,
                                         "req",
                                         "-x509",
                                         "-newkey",
                                         "ec",
                                         "-pkeyopt",
                                         "ec_paramgen_curve:prime256v1",
                                         "-nodes",
                                         "-days",
                                         "2",
                                         "-subj",
                                         "/CN=localhost",
                                         "-addext",
                                         "subjectAltName=DNS:localhost,IP:127.0.0.1",
                                         "-keyout",
                                         keyOut,
                                         "-out",
                                         certOut};
        std::vector<char*> argv;
        for (auto& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        // openssl's chatter goes to a file, shown only when it fails.
        const std::string log = (m_dir.path() / "openssl.log").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        pid_t pid = 0;
        const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            throw std::runtime_error(std::string("could not make a test certificate with ") + QUARROW_OPENSSL + ": "
                                     + readFile(log));
    }

    void handle(const httplib::Request& request, httplib::Response& response)
    {
        RecordedRequest record{request.method, request.path, request.headers, request.body, formFields(request.body)};
        std::shared_ptr<const ScriptedReply> reply;
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(std::move(record));
            if (const auto found = m_replies.find(request.path); found != m_replies.end())
                reply = found->second;
        }
        m_changed.notify_all();

        // httplib gzips a text reply on its own when the client accepts gzip;
        // the reply must go out as scripted. The request object is not const
        // in httplib, only the handler's view of it.
        const_cast<httplib::Request&>(request).headers.erase("Accept-Encoding");

        if (!reply) {
            response.status = 404;
            response.set_content("no reply scripted for " + request.path, "text/plain");
            return;
        }
        using Behaviour = ScriptedReply::Behaviour;
        if (reply->behaviour == Behaviour::NeverAnswer) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stopping; });
            dropConnection(request);
            return;
        }
        if (reply->behaviour == Behaviour::CloseWithoutReply) {
            dropConnection(request);
            return;
        }
        if (reply->delay.count() > 0) {
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, reply->delay, [&] { return m_stopping; });
        }

        response.status = reply->status;
        for (const auto& [name, value] : reply->headers)
            response.set_header(name, value);
        if (reply->gzip)
            response.set_header("Content-Encoding", "gzip");
        if (reply->chunked) {
            response.set_chunked_content_provider(
                reply->contentType, [reply](std::size_t offset, httplib::DataSink& sink) {
                    const std::size_t piece = std::min<std::size_t>(reply->body.size() - offset, 16384);
                    if (piece == 0) {
                        sink.done();
                        return true;
                    }
                    return sink.write(reply->body.data() + offset, piece);
                });
        } else if (reply->contentType.empty()) {
            response.body = reply->body;
        } else {
            response.set_content(reply->body, reply->contentType);
        }
    }

    // httplib gives a handler no hold on its connection, so the socket is
    // found by its two ports and shut down; the client's end, in this same
    // process, has the same ports the other way round.
    static void dropConnection(const httplib::Request& request)
    {
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            const int fd = std::atoi(entry.path().filename().c_str());
            sockaddr_in local{};
            sockaddr_in peer{};
            socklen_t length = sizeof local;
            if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 || local.sin_family != AF_INET)
                continue;
            length = sizeof peer;
            if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
                continue;
            if (ntohs(local.sin_port) == request.local_port && ntohs(peer.sin_port) == request.remote_port) {
                ::shutdown(fd, SHUT_RDWR);
                return;
            }
        }
    }

    static std::string percentDecoded(std::string_view text)
    {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '+') {
                out += ' ';
            } else if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1]))
                       && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
                i += 2;
            } else {
                out += text[i];
            }
        }
        return out;
    }

    static std::vector<std::pair<std::string, std::string>> formFields(std::string_view body)
    {
        std::vector<std::pair<std::string, std::string>> fields;
        if (body.empty())
            return fields;
        std::size_t start = 0;
        while (true) {
            const std::size_t end = std::min(body.find('&', start), body.size());
            const std::string_view field = body.substr(start, end - start);
            const std::size_t equals = field.find('=');
            fields.emplace_back(percentDecoded(field.substr(0, equals)),
                                equals == std::string_view::npos ? std::string()
                                                                 : percentDecoded(field.substr(equals + 1)));
            if (end == body.size())
                break;
            start = end + 1;
        }
        return fields;
    }

    Scheme m_scheme;
    TempDir m_dir;
    std::filesystem::path m_certificate;
    std::filesystem::path m_key;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_listenEnded{false};
    int m_port = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopping = false;
    std::map<std::string, std::shared_ptr<const ScriptedReply>> m_replies;
    std::vector<RecordedRequest> m_requests;
};

} // namespace quarrow::test
