// A file layer that does what the system's does, except at one chosen step, where it fails as
// a full disk or a lost device would. A write that fails has written half its bytes first.
#pragma once

#include "files/SafeWrite.h"

#include <functional>
#include <memory>
#include <new>
#include <optional>

namespace quillet::testing {

// WriteOutOfMemory: the write runs out of memory half way, a failure no layer expects.
enum class WriteStep { Create, Permissions, Write, Flush, Close, Rename, WriteOutOfMemory };

class FailingFileLayer final : public FileLayer {
public:
    explicit FailingFileLayer(std::optional<WriteStep> failAt)
        : real_(MakeSystemFileLayer()), failAt_(failAt) {}

    // Runs before each rename, as another program could act just then.
    std::function<void()> beforeRename;
    // Runs just before a held file is checked unchanged.
    std::function<void()> beforeCheck;
    // Every name a new file is tried at is taken.
    bool namesTaken = false;
    // How many renames find the target open elsewhere before one goes through.
    int busyRenames = 0;

    bool Exists(const std::string& path) override { return real_->Exists(path); }
    FileKind KindOf(const std::string& path) override { return real_->KindOf(path); }

    std::unique_ptr<NewFile> CreateNew(const std::string& path,
                                       const std::string* replaced) override {
        FailAt(WriteStep::Create);
        if (namesTaken)
            return nullptr;
        std::unique_ptr<NewFile> file = real_->CreateNew(path, replaced);
        if (!file)
            return nullptr;
        return std::make_unique<File>(std::move(file), failAt_);
    }

    void Rename(const std::string& from, const std::string& to, bool replace) override {
        FailAt(WriteStep::Rename);
        if (beforeRename)
            beforeRename();
        if (busyRenames > 0) {
            --busyRenames;
            throw ETargetBusy("busy");
        }
        real_->Rename(from, to, replace);
    }

    void Remove(const std::string& path) noexcept override { real_->Remove(path); }

    std::unique_ptr<HeldFile> Hold(const std::string& path) override {
        return std::make_unique<Held>(real_->Hold(path), beforeCheck);
    }

private:
    static void Fail(std::optional<WriteStep> failAt, WriteStep step) {
        if (failAt == step)
            throw EWriteFailure("injected failure");
    }
    void FailAt(WriteStep step) const { Fail(failAt_, step); }

    class File final : public NewFile {
    public:
        File(std::unique_ptr<NewFile> real, std::optional<WriteStep> failAt)
            : real_(std::move(real)), failAt_(failAt) {}
        void TakePermissionsOf(const std::string& model) override {
            Fail(failAt_, WriteStep::Permissions);
            real_->TakePermissionsOf(model);
        }
        void Write(std::span<const std::uint8_t> bytes) override {
            if (failAt_ == WriteStep::WriteOutOfMemory) {
                real_->Write(bytes.first(bytes.size() / 2));
                throw std::bad_alloc();
            }
            if (failAt_ == WriteStep::Write) {
                real_->Write(bytes.first(bytes.size() / 2));
                Fail(failAt_, WriteStep::Write);
            }
            real_->Write(bytes);
        }
        void Flush() override {
            Fail(failAt_, WriteStep::Flush);
            real_->Flush();
        }
        void Close() override {
            Fail(failAt_, WriteStep::Close);
            real_->Close();
        }

    private:
        std::unique_ptr<NewFile> real_;
        std::optional<WriteStep> failAt_;
    };

    class Held final : public HeldFile {
    public:
        Held(std::unique_ptr<HeldFile> real, const std::function<void()>& beforeCheck)
            : real_(std::move(real)), beforeCheck_(beforeCheck) {}
        std::uint64_t LinkCount() const override { return real_->LinkCount(); }
        void CheckUnchanged() override {
            if (beforeCheck_)
                beforeCheck_();
            real_->CheckUnchanged();
        }

    private:
        std::unique_ptr<HeldFile> real_;
        const std::function<void()>& beforeCheck_; // the layer's, as it is at the check
    };

    std::unique_ptr<FileLayer> real_;
    std::optional<WriteStep> failAt_;
};

} // namespace quillet::testing
