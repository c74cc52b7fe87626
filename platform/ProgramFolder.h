// ProgramFolder: the folder of the running executable (the default program
// folder of the agent; --dir replaces it). Empty when the system cannot say.
#pragma once

#include <filesystem>

namespace quorvane::platform {

std::filesystem::path executableFolder();

}  // namespace quorvane::platform
