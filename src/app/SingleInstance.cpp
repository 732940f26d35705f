#include "app/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include "platform/linux/RuntimeFolder.h"

namespace keylume {

namespace {
constexpr char kShowRequest[] = "show\n";
}

SingleInstance::SingleInstance(platform::NamedLocks& locks, QString instanceName)
    : locks_(locks), name_(std::move(instanceName)) {}

SingleInstance::~SingleInstance() {
    delete server_;
    server_ = nullptr;
    if (!holder_.joinable())
        return;
    bool blocked;
    {
        std::lock_guard lock(mutex_);
        release_ = true;
        blocked = !acquired_ && !noLock_;
    }
    changed_.notify_all();
    if (blocked) {
        // Still waiting for another instance's lock; the process ends with it.
        holder_.detach();
    } else {
        holder_.join();
    }
}

SingleInstance::Claim SingleInstance::Acquire(std::chrono::milliseconds wait) {
    if (!holder_.joinable())
        holder_ = std::thread(&SingleInstance::HolderMain, this);
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, wait, [this] { return acquired_ || noLock_; })) {
        gaveUp_ = true;
        return Claim::kAnotherRuns;
    }
    return acquired_ ? Claim::kFirst : Claim::kNoLock;
}

void SingleInstance::HolderMain() {
    auto held = locks_.Acquire(name_.toStdString());
    std::unique_lock lock(mutex_);
    if (!held->Owns()) {
        noLock_ = true;
        changed_.notify_all();
        return;
    }
    if (gaveUp_ || release_) {
        // Too late to be the first; let the lock go at once.
        lock.unlock();
        held.reset();
        return;
    }
    acquired_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return release_; });
    lock.unlock();
    held.reset();
}

QString SingleInstance::SocketPath() const {
    const std::string folder = platform::UserRuntimeFolder();
    if (folder.empty())
        return {};
    const std::string file = "keylume-" + platform::LockFileName(name_.toStdString()) + ".sock";
    return QString::fromStdString(folder + "/" + file);
}

bool SingleInstance::AskFirstToShow(int timeoutMs) {
    const QString path = SocketPath();
    if (path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The first instance answers once it has handled the request.
    socket.waitForReadyRead(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen(std::function<void()> onShow) {
    if (server_ != nullptr)
        return true;
    const QString path = SocketPath();
    if (path.isEmpty())
        return false;
    server_ = new QLocalServer;
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the holder of the lock gets here, so a socket file left behind is a dead one.
    QLocalServer::removeServer(path);
    if (!server_->listen(path))
        return false;
    QObject::connect(server_, &QLocalServer::newConnection, server_, [this, onShow] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client,
                             &QLocalSocket::deleteLater);
            QObject::connect(client, &QLocalSocket::readyRead, client, [client, onShow] {
                if (!client->readAll().contains("show"))
                    return;
                onShow();
                client->write("ok\n");
                client->flush();
            });
        }
    });
    return true;
}

}  // namespace keylume
