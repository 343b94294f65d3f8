#pragma once

#include "ports/platform.h"

namespace vendrel {

class PosixPlatform final : public Platform {
public:
    std::string userLocaleName() override;
};

} // namespace vendrel
