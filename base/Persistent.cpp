#include "base/Persistent.h"

namespace quillet {

void TPersistent::Assign(const TPersistent& source) {
    source.AssignTo(*this);
}

void TPersistent::AssignTo(TPersistent& dest) const {
    throw EConvertError("Cannot assign a " + ClassName() + " to a " + dest.ClassName());
}

void TPersistent::DefineProperties(TFiler&) {
}

void TFiler::DefinePersistent(const std::string& name, TPersistent& object) {
    const std::string outer = prefix_;
    prefix_ = outer + name + ".";
    try {
        object.DefineProperties(*this);
    } catch (...) {
        prefix_ = outer;
        throw;
    }
    prefix_ = outer;
}

} // namespace quillet
