// Objects that can be copied from one another and that store their content in form
// descriptions.
#pragma once

#include "base/Exceptions.h"
#include "base/Streams.h"

#include <functional>
#include <string>

namespace quillet {

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class TPersistent;

// What a form description asks of an object while it is written or read: the object declares
// each property it keeps, and the filer either collects or restores it.
class TFiler {
public:
    using StreamProc = std::function<void(TStream&)>;

    virtual ~TFiler() = default;
    // Raw bytes produced by `writeData` and handed back to `readData`; written only when
    // `hasData` is true.
    virtual void DefineBinaryProperty(const std::string& name, StreamProc readData,
                                      StreamProc writeData, bool hasData) = 0;
    virtual void DefineIntegerProperty(const std::string& name,
                                       std::function<void(std::int32_t)> set, std::int32_t value,
                                       std::int32_t defaultValue) = 0;
    virtual void DefineStringProperty(const std::string& name,
                                      std::function<void(const std::string&)> set,
                                      const std::string& value) = 0;
    // The properties of an object held in a property of this one, stored as "name.property".
    void DefinePersistent(const std::string& name, TPersistent& object);

protected:
    const std::string& Prefix() const { return prefix_; }

private:
    std::string prefix_;
};

class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual std::string ClassName() const = 0;

    // Copies `source` into this object, as the source knows how; raises EConvertError
    // "Cannot assign a X to a Y" when neither side knows.
    virtual void Assign(const TPersistent& source);

    // Declares the properties a form description stores for this object.
    virtual void DefineProperties(TFiler& filer);

protected:
    TPersistent() = default;
    TPersistent(const TPersistent&) = default;
    TPersistent& operator=(const TPersistent&) = default;

    virtual void AssignTo(TPersistent& dest) const;
};

} // namespace quillet
