#include "webview/webserver.hpp"

#include "core/error.hpp"
#include "core/htmlpage.hpp"
#include "core/textcase.hpp"
#include "webview/pages.hpp"
#include "webview/reader.hpp"
#include "webview/sessions.hpp"

#include <charconv>
#include <csignal>
#include <ostream>
#include <thread>

#include <httplib.h>

namespace RepositoryAccess::webview {

namespace {

const char* const kCookie = "kivo_session";
const char* const kHtml = "text/html; charset=utf-8";

using PageFunction = Page (*)(RepositoryReader&, const PageRequest&);

struct Route {
    const char* itsPath;
    PageFunction itsPage;
};

constexpr Route kRoutes[] = {{"/packages", packagesPage},
                             {"/package", packagePage},
                             {"/object", objectPage},
                             {"/annotate", annotatePage},
                             {"/activity", activityPage},
                             {"/changes", changesPage},
                             {"/change", changePage},
                             {"/deliveryunits", deliveryUnitsPage},
                             {"/deliveryunit", deliveryUnitPage}};

// The session id that the request's Cookie header carries, empty without one.
std::string sessionId(const httplib::Request& theRequest) {
    const std::string aHeader = theRequest.get_header_value("Cookie");
    const std::string aName = std::string(kCookie) + "=";
    std::size_t aPos = 0;
    while (aPos < aHeader.size()) {
        while (aPos < aHeader.size() && aHeader[aPos] == ' ')
            ++aPos;
        std::size_t anEnd = aHeader.find(';', aPos);
        if (anEnd == std::string::npos)
            anEnd = aHeader.size();
        if (aHeader.compare(aPos, aName.size(), aName) == 0)
            return aHeader.substr(aPos + aName.size(), anEnd - aPos - aName.size());
        aPos = anEnd + 1;
    }
    return {};
}

void redirect(httplib::Response& theResponse, const char* theLocation) {
    theResponse.status = 303;
    theResponse.set_header("Location", theLocation);
}

std::string problemPage(std::string_view theTitle, const std::string& theText) {
    return htmlpage::frame(
        htmlpage::escape(theTitle), "<link rel=\"stylesheet\" href=\"/style.css\">\n",
        "<h1>" + htmlpage::escape(theTitle) + "</h1>\n<p>" + htmlpage::escape(theText) +
            "</p>\n<p><a href=\"/packages\">"
            "Packages</a></p>\n");
}

std::string joined(const Error& theError) {
    std::string aText;
    for (const std::string& aMessage : theError.messages())
        aText += (aText.empty() ? "" : " ") + aMessage;
    return aText;
}

class WebServer {
public:
    explicit WebServer(RepositoryReader& theReader) : itsReader(theReader) {
        itsServer.set_default_headers(
            {{"Cache-Control", "no-store"},
             {"X-Content-Type-Options", "nosniff"},
             {"Content-Security-Policy",
              "default-src 'none'; style-src 'self'; form-action 'self'; frame-ancestors 'none'"}});
        itsServer.set_pre_routing_handler([](const auto& theRequest, auto& theResponse) {
            return refuseChanges(theRequest, theResponse);
        });
        itsServer.set_exception_handler([](const auto&, auto& theResponse, std::exception_ptr ap) {
            theResponse.status = 500;
            theResponse.set_content(problemPage("Internal error", describe(ap)), kHtml);
        });
        itsServer.Get("/style.css", [](const auto&, auto& theResponse) {
            theResponse.set_content(styleSheet(), "text/css; charset=utf-8");
        });
        itsServer.Get("/",
                      [](const auto&, auto& theResponse) { redirect(theResponse, "/packages"); });
        itsServer.Get("/signin", [](const auto&, auto& theResponse) {
            theResponse.set_content(signInPage(""), kHtml);
        });
        itsServer.Post("/signin", [this](const auto& theRequest, auto& theResponse) {
            signIn(theRequest, theResponse);
        });
        itsServer.Post("/signout", [this](const auto& theRequest, auto& theResponse) {
            itsSessions.end(sessionId(theRequest));
            theResponse.set_header("Set-Cookie",
                                   std::string(kCookie) +
                                       "=; HttpOnly; SameSite=Strict; Path=/; Max-Age=0");
            redirect(theResponse, "/signin");
        });
        for (const Route& aRoute : kRoutes)
            itsServer.Get(aRoute.itsPath,
                          [this, aRoute](const auto& theRequest, auto& theResponse) {
                              answer(aRoute, theRequest, theResponse);
                          });
        itsServer.set_error_handler([](const auto& theRequest, auto& theResponse) {
            if (theResponse.status == 404 && theResponse.body.empty())
                theResponse.set_content(problemPage("Not found", "No page " + theRequest.path),
                                        kHtml);
        });
    }

    httplib::Server& server() { return itsServer; }

private:
    // Only GET (and HEAD) of pages and the two POSTs of signing in and out: nothing else can
    // reach the repository.
    static httplib::Server::HandlerResponse refuseChanges(const httplib::Request& theRequest,
                                                          httplib::Response& theResponse) {
        const bool aPost = theRequest.method == "POST" &&
                           (theRequest.path == "/signin" || theRequest.path == "/signout");
        if (theRequest.method == "GET" || theRequest.method == "HEAD" || aPost)
            return httplib::Server::HandlerResponse::Unhandled;
        theResponse.status = 405;
        theResponse.set_header("Allow", "GET, HEAD");
        theResponse.set_content(problemPage("Not allowed", "The web view only reads"), kHtml);
        return httplib::Server::HandlerResponse::Handled;
    }

    static std::string describe(std::exception_ptr theException) {
        try {
            std::rethrow_exception(theException);
        } catch (const Error& anError) {
            return joined(anError);
        } catch (const std::exception& anException) {
            return anException.what();
        } catch (...) {
            return "unknown failure";
        }
    }

    void signIn(const httplib::Request& theRequest, httplib::Response& theResponse) {
        const std::string aUser = textcase::upper(theRequest.get_param_value("user"));
        const std::string aPassword = theRequest.get_param_value("password");
        if (aUser.empty() || !itsReader.signIn(aUser, aPassword)) {
            theResponse.status = 401;
            theResponse.set_content(signInPage("Wrong user or password."), kHtml);
            return;
        }
        const std::string anId = itsSessions.begin(aUser);
        theResponse.set_header("Set-Cookie", std::string(kCookie) + "=" + anId +
                                                 "; HttpOnly; SameSite=Strict; Path=/; Max-Age=" +
                                                 std::to_string(Sessions::kLifetime.count()));
        redirect(theResponse, "/packages");
    }

    void answer(const Route& theRoute, const httplib::Request& theRequest,
                httplib::Response& theResponse) {
        const auto aUser = itsSessions.user(sessionId(theRequest));
        if (!aUser) {
            redirect(theResponse, "/signin");
            return;
        }
        PageRequest aRequest{*aUser, {}};
        for (const auto& [aName, aValue] : theRequest.params)
            aRequest.itsParams.emplace(aName, aValue);
        try {
            theResponse.set_content(render(theRoute.itsPage(itsReader, aRequest), *aUser), kHtml);
        } catch (const MissingPage& anError) {
            theResponse.status = 404;
            theResponse.set_content(problemPage("Not found", joined(anError)), kHtml);
        } catch (const Error& anError) {
            theResponse.status = 500;
            theResponse.set_content(problemPage("The page failed", joined(anError)), kHtml);
        }
    }

    RepositoryReader& itsReader;
    Sessions itsSessions;
    httplib::Server itsServer;
};

int portNumber(std::string_view theText, const std::string& theAddress) {
    int aPort = -1;
    auto [anEnd, anError] = std::from_chars(theText.data(), theText.data() + theText.size(), aPort);
    if (theText.empty() || anError != std::errc() || anEnd != theText.data() + theText.size() ||
        aPort < 0 || aPort > 65535)
        throw Error("Invalid listen address \"" + theAddress +
                    "\" (expected ADDRESS:PORT with a port from 0 to 65535)");
    return aPort;
}

} // namespace

ListenAddress parseListenAddress(const std::string& theText) {
    const std::size_t aColon = theText.rfind(':');
    if (aColon == std::string::npos)
        throw Error("Invalid listen address \"" + theText + "\" (expected ADDRESS:PORT)");
    ListenAddress anAddress;
    anAddress.itsPort = portNumber(std::string_view(theText).substr(aColon + 1), theText);
    std::string aHost = theText.substr(0, aColon);
    if (aHost.size() >= 2 && aHost.front() == '[' && aHost.back() == ']')
        aHost = aHost.substr(1, aHost.size() - 2);
    if (!aHost.empty())
        anAddress.itsHost = aHost;
    return anAddress;
}

void serve(RepositoryReader& theReader, const std::string& theName, const ListenAddress& theAddress,
           std::ostream& theOut) {
    // SIGINT and SIGTERM are taken by a thread of their own, which stops the server; blocked
    // here before the server's threads start, they reach no other thread.
    sigset_t aSignals;
    sigemptyset(&aSignals);
    sigaddset(&aSignals, SIGINT);
    sigaddset(&aSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &aSignals, nullptr);

    WebServer aWebServer(theReader);
    httplib::Server& aServer = aWebServer.server();
    int aPort = theAddress.itsPort;
    if (aPort == 0)
        aPort = aServer.bind_to_any_port(theAddress.itsHost);
    else if (!aServer.bind_to_port(theAddress.itsHost, aPort))
        aPort = -1;
    if (aPort <= 0)
        throw Error("Cannot listen on " + theAddress.itsHost + ":" +
                    std::to_string(theAddress.itsPort) + " (in use, or no such address)");
    const bool anIpv6 = theAddress.itsHost.find(':') != std::string::npos;
    theOut << "Serving " << theName << " at http://"
           << (anIpv6 ? "[" + theAddress.itsHost + "]" : theAddress.itsHost) << ":" << aPort << "/"
           << std::endl;

    std::thread aStopper([&aServer, aSignals] {
        int aSignal = 0;
        sigwait(&aSignals, &aSignal);
        aServer.stop();
    });
    const bool aListened = aServer.listen_after_bind();
    if (aStopper.joinable()) {
        // The server can also end by itself (its socket failed): wake the waiting thread.
        pthread_kill(aStopper.native_handle(), SIGTERM);
        aStopper.join();
    }
    if (!aListened)
        throw Error("The web view stopped listening: its socket failed");
}

} // namespace RepositoryAccess::webview
