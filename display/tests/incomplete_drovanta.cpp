// A Drovanta build that lacks depth_select_filter: the program must refuse to
// start its display path with it instead of crashing on the first ping.

#include <cstdint>

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT void sss_display_repro(const std::uint32_t*, std::uint32_t, std::uint8_t, float, float,
                              std::uint8_t, std::uint32_t, std::uint32_t, std::uint32_t,
                              std::uint32_t, float, float, float, std::uint32_t, std::uint32_t,
                              std::uint32_t, const void*, float*, std::uint16_t*,
                              std::uint32_t* line_length, std::uint32_t*, float*) {
    if (line_length) *line_length = 0;
}
EXPORT void sss_display_repro_initialize(void) {}
EXPORT void sss_display_repro_terminate(void) {}
