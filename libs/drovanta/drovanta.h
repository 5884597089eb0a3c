/* Drovanta: display reprocessing of one side of a sonar ping and the choice of
 * the bottom that gives the altitude. Plain C entry points with undecorated
 * names; the program loads the library by file name and binds them by name.
 * The caller owns every array it passes; the library keeps only its static
 * working lines and the depth selection state, so it is not re-entrant. */
#ifndef KESTROVA_LIBS_DROVANTA_DROVANTA_H
#define KESTROVA_LIBS_DROVANTA_DROVANTA_H

#include <stdint.h>

#if defined(DROVANTA_BUILDING)
#define DROVANTA_API __attribute__((visibility("default")))
#else
#define DROVANTA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One side of one ping to a display line of N = floor(sample_count / step)
 * values (33 <= N <= 86400; other lengths are rejected with *line_length = 0
 * and nothing else written). gain_state and line hold at least N elements. */
DROVANTA_API void sss_display_repro(const uint32_t* samples, uint32_t sample_count, uint8_t reset,
                                    float sample_rate, float step, uint8_t use_mean,
                                    uint32_t input_full_scale, uint32_t reserved_8,
                                    uint32_t output_full_scale, uint32_t first_index,
                                    float reserved_11, float reserved_12, float sound_speed,
                                    uint32_t min_range_dm, uint32_t max_range_dm,
                                    uint32_t threshold, const void* reserved_17, float* gain_state,
                                    uint16_t* line, uint32_t* line_length, uint32_t* bottom_index,
                                    float* bottom_strength);

/* Clears the depth selection state. */
DROVANTA_API void sss_display_repro_initialize(void);

/* Nothing to release. */
DROVANTA_API void sss_display_repro_terminate(void);

/* Picks, with hysteresis, which side's bottom to trust in each pair (A: one
 * frequency, B: the other) and gives the altitude above the bottom. */
DROVANTA_API void depth_select_filter(float sound_speed, float sample_rate, uint8_t use_pair_b,
                                      float beam_width, float tilt, float reset, uint32_t a_index_1,
                                      float a_strength_1, uint32_t a_index_2, float a_strength_2,
                                      uint32_t b_index_1, float b_strength_1, uint32_t b_index_2,
                                      float b_strength_2, float* cleared, float* altitude,
                                      uint32_t* a_selected, uint32_t* b_selected);

#ifdef __cplusplus
}
#endif

#endif
