#include "base/FormStream.h"

#include "base/LittleEndian.h"

#include <array>
#include <limits>
#include <map>

namespace quillet {

namespace {

constexpr std::array<std::uint8_t, 4> kMagic = {'Q', 'F', 'D', '1'};

enum class Kind : std::uint8_t { End = 0, Integer = 1, String = 2, Binary = 3 };

void WriteInt32(TStream& stream, std::int32_t value) {
    std::array<std::uint8_t, 4> bytes{};
    PutInt32(bytes, 0, value);
    stream.WriteBuffer(bytes);
}

std::int32_t ReadInt32(TStream& stream) {
    std::array<std::uint8_t, 4> bytes{};
    stream.ReadBuffer(bytes);
    return GetInt32(bytes, 0);
}

void WriteBytes(TStream& stream, std::span<const std::uint8_t> bytes) {
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw EWriteError();
    WriteInt32(stream, static_cast<std::int32_t>(bytes.size()));
    stream.WriteBuffer(bytes);
}

// A length-prefixed block; the length is checked against what the stream holds before any
// memory is set aside for it.
std::vector<std::uint8_t> ReadBytes(TStream& stream) {
    const std::int32_t size = ReadInt32(stream);
    if (size < 0)
        throw EFilerError("Invalid stream format");
    if (size > stream.Remaining())
        throw EReadError();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    stream.ReadBuffer(bytes);
    return bytes;
}

void WriteString(TStream& stream, const std::string& text) {
    WriteBytes(stream, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

std::string ReadString(TStream& stream) {
    const std::vector<std::uint8_t> bytes = ReadBytes(stream);
    return {bytes.begin(), bytes.end()};
}

void WriteHead(TStream& stream, Kind kind, const std::string& name) {
    const auto tag = static_cast<std::uint8_t>(kind);
    stream.WriteBuffer(&tag, 1);
    WriteString(stream, name);
}

class Writer final : public TFiler {
public:
    explicit Writer(TStream& stream) : stream_(stream) {}

    void DefineBinaryProperty(const std::string& name, StreamProc, StreamProc writeData,
                              bool hasData) override {
        if (!hasData)
            return;
        TMemoryStream data;
        writeData(data);
        WriteHead(stream_, Kind::Binary, Prefix() + name);
        WriteBytes(stream_, data.Memory());
    }
    void DefineIntegerProperty(const std::string& name, std::function<void(std::int32_t)>,
                               std::int32_t value, std::int32_t defaultValue) override {
        if (value == defaultValue)
            return;
        WriteHead(stream_, Kind::Integer, Prefix() + name);
        WriteInt32(stream_, value);
    }
    void DefineStringProperty(const std::string& name, std::function<void(const std::string&)>,
                              const std::string& value) override {
        if (value.empty())
            return;
        WriteHead(stream_, Kind::String, Prefix() + name);
        WriteString(stream_, value);
    }

private:
    TStream& stream_;
};

// Collects the component's declarations, then restores each property as it is read.
class Reader final : public TFiler {
public:
    void DefineBinaryProperty(const std::string& name, StreamProc readData, StreamProc,
                              bool) override {
        binaries_[Prefix() + name] = std::move(readData);
    }
    void DefineIntegerProperty(const std::string& name, std::function<void(std::int32_t)> set,
                               std::int32_t, std::int32_t) override {
        integers_[Prefix() + name] = std::move(set);
    }
    void DefineStringProperty(const std::string& name, std::function<void(const std::string&)> set,
                              const std::string&) override {
        strings_[Prefix() + name] = std::move(set);
    }

    void ReadProperty(TStream& stream, Kind kind, const std::string& name) {
        switch (kind) {
        case Kind::Integer:
            Find(integers_, name)(ReadInt32(stream));
            return;
        case Kind::String:
            Find(strings_, name)(ReadString(stream));
            return;
        case Kind::Binary: {
            const auto& readData = Find(binaries_, name);
            TMemoryStream data(ReadBytes(stream));
            readData(data);
            return;
        }
        case Kind::End:
            break;
        }
        throw EFilerError("Invalid stream format");
    }

private:
    template <typename Map>
    const typename Map::mapped_type& Find(const Map& map, const std::string& name) {
        const auto found = map.find(name);
        if (found == map.end())
            throw EFilerError("Property " + name + " does not exist");
        return found->second;
    }

    std::map<std::string, StreamProc> binaries_;
    std::map<std::string, std::function<void(std::int32_t)>> integers_;
    std::map<std::string, std::function<void(const std::string&)>> strings_;
};

} // namespace

void WriteComponent(TStream& stream, TComponent& component) {
    stream.WriteBuffer(kMagic);
    WriteString(stream, component.ClassName());
    Writer writer(stream);
    component.DefineProperties(writer);
    const auto end = static_cast<std::uint8_t>(Kind::End);
    stream.WriteBuffer(&end, 1);
}

void ReadComponent(TStream& stream, TComponent& component) {
    std::array<std::uint8_t, 4> magic{};
    stream.ReadBuffer(magic);
    if (magic != kMagic)
        throw EFilerError("Invalid stream format");
    const std::string className = ReadString(stream);
    if (className != component.ClassName())
        throw EFilerError("Cannot read a " + className + " into a " + component.ClassName());

    Reader reader;
    component.DefineProperties(reader);
    component.BeginLoading();
    for (;;) {
        std::uint8_t tag = 0;
        stream.ReadBuffer(&tag, 1);
        const auto kind = static_cast<Kind>(tag);
        if (kind == Kind::End)
            break;
        const std::string name = ReadString(stream);
        reader.ReadProperty(stream, kind, name);
    }
    component.Loaded();
}

} // namespace quillet
