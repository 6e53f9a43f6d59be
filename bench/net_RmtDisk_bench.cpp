// Remote disk server over loopback: sequential 2048-byte block reads from
// one client, against the same count of round trips to bare UDP sockets in
// this binary (one echoing 2048-byte datagrams, one answering a 14-byte
// request with 2052 bytes, the read's own shape). The server runs as in the
// program: a receive thread posts datagrams to a Qt event loop (the GUI
// thread there), which decodes, reads the image and replies. Two more
// figures split the cost: a bare receiver answering through the same event
// loop (the thread hop alone), and the server handling requests on its
// receive thread (the protocol alone). Reads from 8 clients at once use one
// server.

#include <poll.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include <benchmark/benchmark.h>

#include "net/NetTestSupport.h"
#include "platform/GuiThreadPoster.h"

using namespace tavrin::test;

namespace {

// The owner thread as in the program: a Qt event loop, reached through the
// program's own poster. The poster is made on that thread, as its queue
// must live there; anything made elsewhere would never be run.
class QtOwnerThread {
public:
    QtOwnerThread() {
        std::promise<void> ready;
        FThread = std::thread([this, &ready] {
            QEventLoop loop;
            QObject context;
            FLoop = &loop;
            FContext = &context;
            FPoster = GuiThreadPoster(&context);
            ready.set_value();
            loop.exec();
        });
        ready.get_future().wait();
    }
    ~QtOwnerThread() {
        QEventLoop* loop = FLoop;
        QMetaObject::invokeMethod(
            FContext, [loop] { loop->quit(); }, Qt::QueuedConnection);
        FThread.join();
    }
    TCallbackPoster Poster() const { return FPoster; }
    // Runs work on the owner thread and waits for it: the receiver is
    // switched on and off there, as the program does on the GUI thread, so
    // no handler still running can race it.
    void Run(const std::function<void()>& work) {
        QMetaObject::invokeMethod(FContext, work, Qt::BlockingQueuedConnection);
    }

private:
    QEventLoop* FLoop = nullptr;
    QObject* FContext = nullptr;
    TCallbackPoster FPoster;
    std::thread FThread;
};

// A server on a free loopback port serving one image, on its own owner thread.
struct ServerRig {
    TTempFolder Folder;
    QtOwnerThread OwnerLoop;
    TRmtDskMod Server{Folder.Path().string() + "/"};

    explicit ServerRig(bool posted) {
        MakeImage(Folder.File("Bench.cpmdsk"));
        Server.BaseUdpRx1.LocalPort = "";
        Server.BaseUdpRx1.AdapterAddress = "127.0.0.1";
        Server.BaseUdpRx1.SynchronizeCallbacks = posted;
        Server.BaseUdpRx1.Poster = OwnerLoop.Poster();
        OwnerLoop.Run([this] { Server.SetActive(true); });
    }
    ~ServerRig() {
        OwnerLoop.Run([this] { Server.SetActive(false); });
    }
};

// A bare socket that answers every datagram on its own thread: with the
// datagram itself (echo) or with a fixed reply of replySize bytes.
class BareResponder {
public:
    explicit BareResponder(size_t replySize) : FReply(replySize, 0x5A) {
        FSocket.BindAddress = htonl(INADDR_LOOPBACK);
        FSocket.Open();
        FThread = std::thread([this] { Run(); });
    }
    ~BareResponder() {
        FStop = true;
        ::shutdown(FSocket.Handle(), SHUT_RDWR);
        FThread.join();
    }
    uint16_t Port() const { return FSocket.BoundPort(); }

private:
    void Run() {
        std::vector<uint8_t> buffer(8192);
        while (!FStop.load()) {
            sockaddr_in from{};
            const int n = FSocket.RecvFrom(buffer.data(), buffer.size(), 50, from);
            if (n <= 0) continue;
            if (FReply.empty())
                FSocket.SendTo(buffer.data(), static_cast<size_t>(n), 1000, from);
            else
                FSocket.SendTo(FReply.data(), FReply.size(), 1000, from);
        }
    }

    TBaseUdpSocket FSocket;
    std::vector<uint8_t> FReply;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

std::vector<uint8_t> RoundTrip(const TUdpClient& client, const std::vector<uint8_t>& request) {
    client.Send(request);
    auto reply = client.Receive(1000);
    return reply ? std::move(*reply) : std::vector<uint8_t>{};
}

void ReadSequentially(benchmark::State& state, const TUdpClient& client, uint16_t disk) {
    const auto mount = RoundTrip(client, MountRequest(1, disk, "Bench", true));
    if (mount.size() != 14) {
        state.SkipWithError("mount failed");
        return;
    }
    const uint32_t id = Get32(mount, 4);
    uint32_t block = 0;
    for (auto _ : state) {
        const auto reply = RoundTrip(client, ReadRequest(2, id, disk, static_cast<uint16_t>(block / 2 % 256),
                                                         static_cast<uint16_t>(block % 2 * 16)));
        if (reply.size() != 2052) {
            state.SkipWithError("read failed");
            return;
        }
        ++block;
    }
    RoundTrip(client, SessionRequest(2, 3, id, disk));
    state.SetBytesProcessed(state.iterations() * 2048);
    state.SetItemsProcessed(state.iterations());
}

void BM_BareEcho2048(benchmark::State& state) {
    BareResponder echo(0);
    TUdpClient client(echo.Port());
    const std::vector<uint8_t> datagram(2048, 0x33);
    for (auto _ : state)
        if (RoundTrip(client, datagram).size() != 2048) state.SkipWithError("echo lost");
    state.SetBytesProcessed(state.iterations() * 2048);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareEcho2048)->UseRealTime();

// One read request sent over and over to a peer that answers every
// datagram with a reply the size of a read's.
void RepeatReadShapedRequest(benchmark::State& state, const TUdpClient& client) {
    const auto request = ReadRequest(2, 1, 0, 0, 0);
    for (auto _ : state)
        if (RoundTrip(client, request).size() != 2052) state.SkipWithError("reply lost");
    state.SetBytesProcessed(state.iterations() * 2048);
    state.SetItemsProcessed(state.iterations());
}

void BM_BareReadShapedReply(benchmark::State& state) {
    BareResponder responder(2052);
    TUdpClient client(responder.Port());
    RepeatReadShapedRequest(state, client);
}
BENCHMARK(BM_BareReadShapedReply)->UseRealTime();

// As in the program: each datagram is posted to a Qt event loop.
void BM_ServerSequentialReads(benchmark::State& state) {
    ServerRig rig(true);
    TUdpClient client(rig.Server.BaseUdpRx1.BoundPort());
    ReadSequentially(state, client, 0);
}
BENCHMARK(BM_ServerSequentialReads)->UseRealTime();

// The hop alone: a bare receiver answering read-shaped requests from the
// same Qt owner thread, without the protocol, sessions or image.
void BM_BareReplyThroughOwnerThread(benchmark::State& state) {
    QtOwnerThread owner;
    TBaseUdpRx rx;
    rx.AdapterAddress = "127.0.0.1";
    rx.Poster = owner.Poster();
    const std::vector<uint8_t> reply(2052, 0x5A);
    rx.OnDatagram = [&reply](TBaseUdpRx& sender, const uint8_t*, int, int, const sockaddr_in& from) {
        sender.SendTo(from, 1000, static_cast<int>(reply.size()), reply.data());
    };
    owner.Run([&rx] { rx.SetActive(true); });
    TUdpClient client(rx.BoundPort());
    RepeatReadShapedRequest(state, client);
    owner.Run([&rx] { rx.SetActive(false); });
}
BENCHMARK(BM_BareReplyThroughOwnerThread)->UseRealTime();

// The protocol alone: requests handled on the receive thread itself.
void BM_ServerSequentialReadsOnReceiveThread(benchmark::State& state) {
    ServerRig rig(false);
    TUdpClient client(rig.Server.BaseUdpRx1.BoundPort());
    ReadSequentially(state, client, 0);
}
BENCHMARK(BM_ServerSequentialReadsOnReceiveThread)->UseRealTime();

// Eight clients at once, each reading its own read-only session of one
// image: one iteration is 64 reads by every client.
void BM_ServerReadsEightClients(benchmark::State& state) {
    constexpr int Clients = 8;
    constexpr int ReadsEach = 64;
    ServerRig rig(true);
    std::vector<std::unique_ptr<TUdpClient>> clients;
    std::vector<uint32_t> ids;
    for (uint16_t c = 0; c < Clients; ++c) {
        clients.push_back(std::make_unique<TUdpClient>(rig.Server.BaseUdpRx1.BoundPort()));
        const auto mount = RoundTrip(*clients.back(), MountRequest(1, c, "Bench", true));
        if (mount.size() != 14) {
            state.SkipWithError("mount failed");
            return;
        }
        ids.push_back(Get32(mount, 4));
    }
    std::atomic<bool> failed{false};
    for (auto _ : state) {
        std::vector<std::thread> readers;
        for (uint16_t c = 0; c < Clients; ++c)
            readers.emplace_back([&, c] {
                for (int k = 0; k < ReadsEach; ++k) {
                    const auto request =
                        ReadRequest(2, ids[c], c, static_cast<uint16_t>(k / 2), static_cast<uint16_t>(k % 2 * 16));
                    if (RoundTrip(*clients[c], request).size() != 2052) failed = true;
                }
            });
        for (auto& reader : readers) reader.join();
    }
    if (failed) state.SkipWithError("a read failed");
    state.SetBytesProcessed(state.iterations() * Clients * ReadsEach * 2048);
    state.SetItemsProcessed(state.iterations() * Clients * ReadsEach);
}
BENCHMARK(BM_ServerReadsEightClients)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // the event loops need one
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
