// Form descriptions: a component's properties in a small binary stream, raw-data properties
// included, so that a window design can be stored and brought back.
#pragma once

#include "base/Component.h"
#include "base/Streams.h"

namespace quillet {

class EFilerError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

// Writes the class name and every property `component` declares that differs from its default.
void WriteComponent(TStream& stream, TComponent& component);

// Reads what WriteComponent wrote into a component of the same class, then calls its Loaded.
// Raises EFilerError for a description of another class or with a property it does not declare.
void ReadComponent(TStream& stream, TComponent& component);

} // namespace quillet
