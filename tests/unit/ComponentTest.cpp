#include "base/Component.h"
#include "base/FormStream.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

// Records what it is told, in order, in a log shared by the test.
class TProbe : public TComponent {
public:
    TProbe(TComponent* owner, std::string name, std::vector<std::string>& log)
        : TComponent(owner), log_(log) {
        SetName(std::move(name));
    }
    ~TProbe() override { log_.push_back(Name() + " destroyed"); }
    std::string ClassName() const override { return "TProbe"; }

    TComponent* partner = nullptr;
    std::int32_t speed = 3;
    bool loaded = false;

    void Loaded() override {
        TComponent::Loaded();
        loaded = true;
    }
    void DefineProperties(TFiler& filer) override {
        TComponent::DefineProperties(filer);
        filer.DefineIntegerProperty(
            "Speed", [this](std::int32_t v) { speed = v; }, speed, 3);
    }

protected:
    void Notification(TComponent& component, TOperation operation) override {
        if (operation == TOperation::opRemove) {
            log_.push_back(Name() + " told " + component.Name() + " goes");
            if (&component == partner)
                partner = nullptr;
        }
    }

private:
    std::vector<std::string>& log_;
};

TEST(Component, OwnerFreesWhatItOwnsTellingTheRestFirst) {
    std::vector<std::string> log;
    {
        TComponent form;
        form.SetName("Form1");
        auto& a = form.Create<TProbe>("A", log);
        auto& b = form.Create<TProbe>("B", log);
        EXPECT_EQ(a.Owner(), &form);
        EXPECT_EQ(form.ComponentCount(), 2);
        EXPECT_EQ(form.FindComponent("b"), &b);
        EXPECT_EQ(form.FindComponent("C"), nullptr);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"A told B goes", "B destroyed", "A destroyed"}));
}

TEST(Component, FreeNotificationClearsReferencesAcrossOwners) {
    std::vector<std::string> log;
    TComponent form;
    auto& screen = form.Create<TProbe>("Screen", log);
    {
        TProbe library(nullptr, "Library", log);
        screen.partner = &library;
        screen.FreeNotification(library);
    }
    EXPECT_EQ(screen.partner, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"Library destroyed", "Screen told Library goes"}));

    auto& other = form.Create<TProbe>("Other", log);
    log.clear();
    form.FreeComponent(other);
    EXPECT_EQ(form.ComponentCount(), 1);
    EXPECT_EQ(log, (std::vector<std::string>{"Screen told Other goes", "Other destroyed"}));
}

TEST(FormStream, PropertiesRoundTripAndLoadedRunsAfterwards) {
    std::vector<std::string> log;
    TProbe written(nullptr, "Probe1", log);
    written.speed = -9;
    written.SetTag(42);
    TMemoryStream form;
    WriteComponent(form, written);

    TProbe read(nullptr, "", log);
    form.SetPosition(0);
    ReadComponent(form, read);
    EXPECT_EQ(read.Name(), "Probe1");
    EXPECT_EQ(read.Tag(), 42);
    EXPECT_EQ(read.speed, -9);
    EXPECT_TRUE(read.loaded);
    EXPECT_FALSE(read.Loading());
}

TEST(FormStream, RefusesOtherClassesUnknownPropertiesAndDamage) {
    std::vector<std::string> log;
    TProbe probe(nullptr, "P", log);
    probe.speed = 1;
    TMemoryStream form;
    WriteComponent(form, probe);

    TComponent plain;
    form.SetPosition(0);
    EXPECT_THROW(ReadComponent(form, plain), EFilerError);

    // A probe whose class name matches but which does not declare Speed.
    class TBareProbe : public TComponent {
    public:
        std::string ClassName() const override { return "TProbe"; }
    } bare;
    form.SetPosition(0);
    try {
        ReadComponent(form, bare);
        FAIL() << "read an undeclared property";
    } catch (const EFilerError& e) {
        EXPECT_EQ(e.Message(), "Property Speed does not exist");
    }

    std::vector<std::uint8_t> cut(form.Memory().begin(), form.Memory().end() - 3);
    TMemoryStream damaged(cut);
    TProbe target(nullptr, "", log);
    EXPECT_THROW(ReadComponent(damaged, target), EReadError);
}

} // namespace
} // namespace quillet
