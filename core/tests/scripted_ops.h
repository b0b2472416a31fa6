// File operations for the tests: the system's, except the calls a test tells to fail.
#pragma once

#include <cstring>
#include <functional>
#include <utility>
#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "core/file_ops.h"

// The operations a test can make fail.
enum class Op { Open, Lock, Size, Allocate, Read, Room, Reserve, Write, Sync, Close, RenameReplacing, RenameExclusive, Link, Remove };

// Passes every call to the system's operations, counting them; the call of an operation
// chosen with failOn fails instead (a write first writes half of its bytes, as a disk that
// fills up does). While it lives, the core uses it.
class ScriptedOps : public FileOps {
public:
    ScriptedOps() : previous_(replaceFileOps(this)) {}
    ~ScriptedOps() override { replaceFileOps(previous_); }

    // Makes the nth call of op (counted from 1) fail, and with sticky every later one too.
    void failOn(Op op, int nth, bool sticky = false) { failures_[op] = {nth, sticky}; }
    // Makes the program as good as killed at the nth call of op: that call (a write writes
    // half of its bytes first) and every later call fails and changes nothing, as nothing
    // more reaches the files after a kill. Files are still closed, as the system does.
    void dieOn(Op op, int nth) {
        deathOp_ = op;
        deathCall_ = nth;
    }
    bool dead() const { return dead_; }
    // Runs action just before the nth call of op, as another program acting meanwhile.
    void onCall(Op op, int nth, std::function<void()> action) { actions_[{op, nth}] = std::move(action); }
    // Makes renameExclusive answer as a file system that cannot rename that way.
    void renameExclusiveUnsupported() { exclusiveUnsupported_ = true; }
    // Makes size() give this size instead of the file's.
    void pretendSize(std::int64_t size) { fakeSize_ = size; }
    // Makes fileSizeLimit() give this limit instead of the process's.
    void pretendSizeLimit(std::int64_t limit) { sizeLimit_ = limit; }
    int calls(Op op) const { auto it = calls_.find(op); return it == calls_.end() ? 0 : it->second; }
    // Files opened and not closed yet.
    int openFiles() const { return openFiles_; }
    // Makes every image allocated start out filled with value instead of whatever was there.
    void fillAllocations(unsigned char value) { fill_ = value; }
    // Makes identify() describe path as identity (as a file system that ignores case would).
    void pretendIdentity(const std::string& path, const FileIdentity& identity) { identities_[path] = identity; }

    static constexpr const char* kReason = "injected failure";

    FileHandle open(const std::string& path, OpenMode mode, std::string& reason) override {
        if (fails(Op::Open)) return reason = kReason, kNoFile;
        const FileHandle file = real().open(path, mode, reason);
        openFiles_ += file != kNoFile;
        return file;
    }
    bool lock(FileHandle file, std::string& reason) override {
        if (fails(Op::Lock)) return reason = kInUseText, false;
        return real().lock(file, reason);
    }
    std::int64_t size(FileHandle file, std::string& reason) override {
        if (fails(Op::Size)) return reason = kReason, -1;
        return fakeSize_ >= 0 ? fakeSize_ : real().size(file, reason);
    }
    unsigned char* allocate(std::size_t size) override {
        if (fails(Op::Allocate)) return nullptr;
        unsigned char* bytes = real().allocate(size);
        if (bytes && fill_ >= 0) std::memset(bytes, fill_, size ? size : 1);
        return bytes;
    }
    void release(unsigned char* bytes) override { real().release(bytes); }
    bool read(FileHandle file, unsigned char* bytes, std::size_t size, std::int64_t offset,
              std::string& reason) override {
        if (fails(Op::Read)) return reason = kReason, false;
        return real().read(file, bytes, size, offset, reason);
    }
    bool roomToRewrite(FileHandle file, std::int64_t size, std::int64_t extra, std::string& reason) override {
        if (fails(Op::Room)) return reason = kReason, false;
        return real().roomToRewrite(file, size, extra, reason);
    }
    std::int64_t fileSizeLimit() override { return sizeLimit_ != 0 ? sizeLimit_ : real().fileSizeLimit(); }
    bool reserve(FileHandle file, std::int64_t size, std::string& reason) override {
        if (fails(Op::Reserve)) return reason = kReason, false;
        return real().reserve(file, size, reason);
    }
    bool write(FileHandle file, const unsigned char* bytes, std::size_t size, std::int64_t offset,
               std::string& reason) override {
        const bool wasDead = dead_;
        if (!fails(Op::Write)) return real().write(file, bytes, size, offset, reason);
        if (!wasDead) real().write(file, bytes, size / 2, offset, reason);
        return reason = kReason, false;
    }
    void startWriteOut(FileHandle file, std::int64_t offset, std::int64_t length) override {
        real().startWriteOut(file, offset, length);
    }
    bool sync(FileHandle file, std::string& reason) override {
        if (fails(Op::Sync)) return reason = kReason, false;
        return real().sync(file, reason);
    }
    bool close(FileHandle file, std::string& reason) override {
        // A failed close still lets the file go, as the systems do.
        const bool closed = real().close(file, reason);
        --openFiles_;
        if (fails(Op::Close)) return reason = kReason, false;
        return closed;
    }
    bool renameReplacing(const std::string& from, const std::string& to, std::string& reason) override {
        if (fails(Op::RenameReplacing)) return reason = kReason, false;
        return real().renameReplacing(from, to, reason);
    }
    bool renameExclusive(const std::string& from, const std::string& to, bool& unsupported,
                         std::string& reason) override {
        if (exclusiveUnsupported_) return unsupported = true, reason = kReason, false;
        if (fails(Op::RenameExclusive)) return unsupported = false, reason = kReason, false;
        return real().renameExclusive(from, to, unsupported, reason);
    }
    bool link(const std::string& from, const std::string& to, std::string& reason) override {
        if (fails(Op::Link)) return reason = kReason, false;
        return real().link(from, to, reason);
    }
    bool remove(const std::string& path, std::string& reason) override {
        if (fails(Op::Remove)) return reason = kReason, false;
        return real().remove(path, reason);
    }
    void syncFolderOf(const std::string& path) override { real().syncFolderOf(path); }
    FileIdentity identify(const std::string& path, bool followLinks) override {
        auto it = identities_.find(path);
        return it != identities_.end() ? it->second : real().identify(path, followLinks);
    }
    FileIdentity identifyOpen(FileHandle file) override { return real().identifyOpen(file); }
    std::string newNameProblem(const std::string& folder, const std::string& name) override {
        return folderProblem_.empty() ? real().newNameProblem(folder, name) : folderProblem_;
    }
    // Makes every new name be refused with reason, as a folder that cannot be written.
    void refuseNewNames(const std::string& reason) { folderProblem_ = reason; }
    // Lets the core call these operations from two threads at once (counted under a lock).
    void allowThreads() { threads_ = true; }
    bool concurrent() override { return threads_; }

private:
    struct Failure {
        int nth;
        bool sticky;
    };

    static FileOps& real() { return systemFileOps(); }

    // Counts a call of op; true when this call is to fail.
    bool fails(Op op) {
        std::lock_guard<std::mutex> hold(mutex_);
        const int call = ++calls_[op];
        auto action = actions_.find({op, call});
        if (action != actions_.end()) action->second();
        if (dead_ || (op == deathOp_ && call == deathCall_)) return dead_ = true;
        auto it = failures_.find(op);
        if (it == failures_.end()) return false;
        return call == it->second.nth || (it->second.sticky && call > it->second.nth);
    }

    FileOps* previous_;
    std::map<Op, int> calls_;
    std::map<Op, Failure> failures_;
    std::int64_t fakeSize_ = -1;
    std::int64_t sizeLimit_ = 0; // 0: the process's own
    Op deathOp_ = Op::Open;
    int deathCall_ = 0; // 0: the program is never killed
    std::atomic<bool> dead_{false};
    bool threads_ = false;
    std::mutex mutex_; // held while a call is counted
    std::map<std::pair<Op, int>, std::function<void()>> actions_;
    bool exclusiveUnsupported_ = false;
    int openFiles_ = 0;
    int fill_ = -1;
    std::map<std::string, FileIdentity> identities_;
    std::string folderProblem_;
};
