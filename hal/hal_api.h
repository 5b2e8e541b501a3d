// The configuration object of the engine: everything the user states about a chip,
// everything derived from it, the status read back and the limits it is checked against.
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include "arith/fprec.h"

struct hal_obj_s;

// kova_device_es: the devices of the family, by part number.
enum : int32_t {
  kova_device_40000_e = 40000,
  kova_device_40075_e = 40075,
  kova_device_40089_e = 40089,
  kova_device_40110_e = 40110,
  kova_device_40111_e = 40111,
  kova_device_40112_e = 40112,
  kova_device_40113_e = 40113,
};

// kova_mode_es
enum : int32_t {
  kova_mode_syn_e = 0,  // frequency synthesis, APLL only
  kova_mode_nco_e = 1,  // numerically controlled oscillator
  kova_mode_ss_e = 2,   // spread spectrum
  kova_mode_ja_e = 3,   // jitter attenuation, DPLL and APLL
};

// xa_mode_es: what drives the XA/XB pins.
enum : int32_t {
  xa_mode_disabled_e = 0,
  xa_mode_xo_e = 1,
  xa_mode_tcxo_e = 2,
  xa_mode_xtal_e = 3,
  xa_mode_xtal_dbl_e = 4,
  xa_mode_xo_dbl_e = 5,
  xa_mode_tcxo_dbl_e = 6,
};

// sysclk_mode_es: the chip's system clock.
enum : int32_t {
  sysclk_mode_xa_e = 0,
  sysclk_mode_ro_e = 1,  // ring oscillator
};

// jitter_mode_es: only RJ is accepted by the calculations; 1 and 2 pass validation.
enum : int32_t {
  jitter_mode_rj_e = 0,
  jitter_mode_1_e = 1,
  jitter_mode_2_e = 2,
};

// ss_mode_es
enum : int32_t {
  ss_mode_centre_e = 0,
  ss_mode_down_e = 1,
};

// oc_solver_mode_es
enum : int32_t {
  oc_solver_mode_auto_e = 0,    // the output clock solver chooses the solution
  oc_solver_mode_select_e = 1,  // the user selects one of the solver's solutions
  oc_solver_mode_manual_e = 2,  // the user enters the dividers
};

// init_api_mode_es: what the next init_api does.
enum : int32_t {
  init_api_full_e = 0,            // full initialisation
  init_api_blank_e = 1,           // blank object with register defaults, no validation
  init_api_after_inverse_e = 2,   // revalidate and reset the limits, keep every field
  init_api_after_load_e = 3,      // fresh HAL object and register defaults, keep every field
  init_api_limits_e = 4,          // revalidate and reset the limits, keep every field
  init_api_validate_e = 5,        // revalidate only
  init_api_keep_user_e = 6,       // full initialisation keeping the user's frequencies and output options
};

// icx_mon_ppm_mode_es: how an input's PPM monitor scales its counters.
enum : int32_t {
  icx_mon_ppm_mode_accur_lo_e = 0,  // pre-divider searched for the best accuracy
  icx_mon_ppm_mode_jtrtol8_e = 1,
  icx_mon_ppm_mode_jtrtol_e = 2,    // jitter-tolerant scale (JTRTOL = 1)
};

#define KOVA_FIELD_TYPE_U32 uint32_t
#define KOVA_FIELD_TYPE_I32 int32_t
#define KOVA_FIELD_TYPE_U64 uint64_t
#define KOVA_FIELD_TYPE_I64 int64_t
#define KOVA_FIELD_TYPE_DBL double
#define KOVA_FIELD_TYPE_FPREC fprec_s
#define KOVA_FIELD_TYPE_ENUM int32_t
#define KOVA_FIELD_TYPE_PTR hal_obj_s *

struct hal_api_s {
#define KOVA_GROUP(title)
#define KOVA_FIELD(kind, name, keyword) KOVA_FIELD_TYPE_##kind name;
#include "hal/hal_api_fields.def"
#undef KOVA_FIELD
#undef KOVA_GROUP
};

// The object is copied word by word and zeroed with memset.
static_assert(std::is_trivially_copyable_v<hal_api_s>);

constexpr uint32_t KOVA_HAL_API_VERSION = 0x09111400u;
constexpr uint32_t KOVA_REG_COUNT = 2048;   // register image size, addresses 0x000 .. 0x7FF
constexpr uint32_t KOVA_MSG_MAX = 100;      // message log entries
constexpr uint32_t KOVA_MSG_LEN = 500;      // characters per entry, terminator included
constexpr uint32_t KOVA_DSP_WORDS = 320;    // words of the DSP program

// Life cycle.
void init_api(hal_api_s *hal);
void copy_api(hal_api_s *dst, const hal_api_s *src);
void delete_api(hal_api_s *hal);

// Message log.
void put_msg(hal_api_s *hal, const char *text);
// printf-style convenience over put_msg; the text is cut at KOVA_MSG_LEN - 1 characters.
void put_msgf(hal_api_s *hal, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
const char *get_msg(hal_api_s *hal);
void clear_msg_log(hal_api_s *hal);
// 0 = none, 1 = a warning was posted, 2 = an error was posted.
uint32_t msg_level(const hal_api_s *hal);

// Register image. Addresses of 2048 or more are outside the image: reads give 0, writes are ignored.
uint32_t get_reg(const hal_api_s *hal, uint32_t address);
void put_reg(hal_api_s *hal, uint32_t address, uint32_t value);
// Reset default byte of a register address (0 for every address not listed and above 0x7FF).
uint32_t kova_regs_defaults(uint32_t address);

// True (after posting "ERROR: init_api modes changed or invalid") when a mode field differs
// from what the last init_api validated, or when none was validated.
bool init_api_modes_changed(hal_api_s *hal);
// Limits of the device, mode, system clock and XA mode (run by init_api).
void init_api_limits(hal_api_s *hal);

// DSP program of the DPLL devices.
uint32_t get_dsp_id_word16(const hal_api_s *hal);
uint32_t get_dsp_algo_word24(const hal_api_s *hal, uint32_t index);

// Device table helpers.
bool kova_device_valid(int32_t device);
// Whether the device allows the operating mode.
bool kova_device_mode_allowed(int32_t device, int32_t mode);
// Whether the device has a DPLL (and so a DSP program).
bool kova_device_has_dpll(int32_t device);
// Labels used in messages and listings.
const char *kova_mode_label(int32_t mode);       // "SYN", "NCO", "SS", "JA" or null
const char *xa_mode_label(int32_t xa_mode);      // "disabled", "XO", ... or null
const char *sysclk_mode_label(int32_t sysclk);   // "XA", "RO" or null
