// A component that owns one library list and remembers the file it was loaded from, so that
// the list can be freed after use and loaded again later.
#pragma once

#include "base/Component.h"

#include <memory>
#include <string>

namespace quillet::gamelib {

template <typename List> class TMxLibraryComponent : public TComponent {
public:
    std::int32_t Count() const { return list_ ? list_->Count() : 0; }

    // FileName stays empty while loading and after a failed load.
    void LoadFromFile(const std::string& fileName) {
        fileName_.clear();
        list_->LoadFromFile(fileName);
        fileName_ = fileName;
    }
    // Loads the last file again; raises when no file was loaded.
    void Reload() {
        if (fileName_.empty())
            throw Exception("LoadFromFile must be called first");
        LoadFromFile(std::string(fileName_));
    }
    const std::string& FileName() const { return fileName_; }

protected:
    explicit TMxLibraryComponent(TComponent* owner)
        : TComponent(owner), list_(std::make_unique<List>()) {}

    List& OwnedList() const { return *list_; }
    // The component's own properties, then the list's under `name`.
    void DefineListProperties(TFiler& filer, const std::string& name) {
        TComponent::DefineProperties(filer);
        filer.DefinePersistent(name, *list_);
    }

private:
    std::unique_ptr<List> list_;
    std::string fileName_;
};

} // namespace quillet::gamelib
