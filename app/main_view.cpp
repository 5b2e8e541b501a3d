#include "app/main_view.h"

#include <cstdio>
#include <cstring>

#include "app/device_settings.h"
#include "app/main_ops.h"
#include "arith/fprec.h"
#include "hal/hal_fields.h"

fprec_s hal_api_s::*const kMainIcFreq[3] = {&hal_api_s::ic1_freq_s, &hal_api_s::ic2_freq_s, &hal_api_s::ic3_freq_s};
fprec_s hal_api_s::*const kMainOcFreq[3] = {&hal_api_s::oc1_freq_s, &hal_api_s::oc2_freq_s, &hal_api_s::oc3_freq_s};
fprec_s hal_api_s::*const kMainOcNFreq[3] = {&hal_api_s::oc1n_freq_s, &hal_api_s::oc2n_freq_s,
                                              &hal_api_s::oc3n_freq_s};
uint32_t hal_api_s::*const kMainIcEnable[3] = {&hal_api_s::icen_ic1en_u1, &hal_api_s::icen_ic2en_u1,
                                               &hal_api_s::icen_ic3en_u1};
uint32_t hal_api_s::*const kMainOcFormat[3] = {&hal_api_s::oc1cr2_ocsf_u3, &hal_api_s::oc2cr2_ocsf_u3,
                                               &hal_api_s::oc3cr2_ocsf_u3};

namespace {

const char *const kOutputFormat[8] = {"Disabled", "CML (800mV)", "CML (400mV)", "HSTL",
                                      "2 CMOS",   "1 CMOS-N",    "1 CMOS-P",    "2 CMOS-Comp"};
const char *const kApllSource[4] = {"XA", "IC1", "IC2", "IC3"};

bool set(const fprec_s &f) { return f.f != 0 && f.n != 0 && f.m != 0; }

std::string fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

}  // namespace

std::string main_mhz_text(const fprec_s &f, int decimals) {
  return fixed(set(f) ? fprec_s_2_double_mhz(f) : 0.0, decimals);
}

bool main_input_valid(const hal_api_s *hal, int n) {
  const uint32_t valsr = (get_reg(hal, 0x04F) << 8) | get_reg(hal, 0x04E);
  return (valsr >> (4 * n)) & 1u;
}

main_block_view_s main_block_view(const hal_api_s *hal, int block) {
  main_block_view_s v;
  const bool ja = hal->kova_mode_e == kova_mode_ja_e;
  switch (block) {
    case main_block_xa_e: {
      const int32_t mode = hal->kova_mode_e >= 0 && hal->kova_mode_e < 4 ? hal->kova_mode_e : 0;
      v.title = __dev_XaPinsLabelStr[mode];
      v.frequency = main_mhz_text(hal->xa_freq_s);
      const int32_t mc = __dev_XaModeToMasterClock(hal->xa_mode_e);
      v.state = mc >= 0 ? __dev_MasterClockModeStr[mc] : "Unknown";
      if (hal->xa_freq_off_ppb_i32 != 0) v.detail = fixed(hal->xa_freq_off_ppb_i32 / 1000.0, 3) + " ppm";
      v.colour = hal->xa_mode_e != xa_mode_disabled_e && set(hal->xa_freq_s) ? main_block_good_e : main_block_off_e;
      break;
    }
    case main_block_ic1_e:
    case main_block_ic2_e:
    case main_block_ic3_e: {
      const int n = block - main_block_ic1_e;
      v.title = "IC" + std::to_string(n + 1);
      v.frequency = main_mhz_text(hal->*kMainIcFreq[n]);
      if (!(hal->*kMainIcEnable[n])) {
        v.state = "Disabled";
      } else {
        const bool valid = main_input_valid(hal, n);
        v.state = valid ? "VALID" : "INVALID";
        v.colour = valid ? main_block_good_e : main_block_bad_e;
      }
      break;
    }
    case main_block_dpll_e: {
      v.title = "DPLL";
      if (!ja) {
        v.state = "Not used";
        break;
      }
      v.frequency = main_mhz_text(hal->pfd_freq_s);
      const uint8_t s = static_cast<uint8_t>(get_reg(hal, 0x056));
      v.state = main_dpll_state_text(s);
      v.detail = fixed(hal->output_freq_offset_ppm_r, 9) + " ppm, " + fixed(hal->input_phase_offset_ns_r, 3) + " ns";
      v.colour = v.state == "Tracking; Locked" ? main_block_good_e : main_block_bad_e;
      break;
    }
    case main_block_apll_e: {
      v.title = "APLL";
      v.frequency = main_mhz_text(hal->vco_freq_s);
      const uint32_t src = hal->apllcr3_apllmux_u3;
      v.state = std::string("Source ") + (src < 4 ? kApllSource[src] : src == 6 ? "DPLL/DCO" : "?");
      v.detail = "HSDIV1 " + fixed(hal->vco_hsdiv1x2_u8 / 2.0, 1) + ", HSDIV2 " + fixed(hal->vco_hsdiv2x2_u8 / 2.0, 1);
      v.colour = set(hal->vco_freq_s) ? main_block_good_e : main_block_off_e;
      break;
    }
    case main_block_oc1_e:
    case main_block_oc2_e:
    case main_block_oc3_e: {
      const int n = block - main_block_oc1_e;
      v.title = "OC" + std::to_string(n + 1);
      v.frequency = main_mhz_text(hal->*kMainOcFreq[n]);
      const uint32_t fmt = hal->*kMainOcFormat[n];
      v.state = fmt < 8 ? kOutputFormat[fmt] : "?";
      if ((fmt == 4 || fmt == 7) && set(hal->*kMainOcNFreq[n])) v.detail = "N " + main_mhz_text(hal->*kMainOcNFreq[n]);
      v.colour = set(hal->*kMainOcFreq[n]) && fmt != 0 ? main_block_good_e : main_block_off_e;
      break;
    }
    default: break;
  }
  return v;
}

namespace {

bool starts(const char *name, const std::string &prefix) { return std::strncmp(name, prefix.c_str(), prefix.size()) == 0; }

std::vector<std::string> block_prefixes(int block) {
  switch (block) {
    case main_block_xa_e: return {"xa_", "mcr1_", "sysclk_"};
    case main_block_ic1_e:
    case main_block_ic2_e:
    case main_block_ic3_e: {
      const std::string n = std::to_string(block - main_block_ic1_e + 1);
      return {"ic" + n + "_", "ic" + n + "cr", "icen_ic" + n + "en", "mon" + n};
    }
    case main_block_dpll_e:
      return {"dpll", "pfd_", "ho_", "hitless", "output_freq_offset", "input_phase_offset", "lol"};
    case main_block_apll_e: return {"apll", "vco_", "hsdiv"};
    case main_block_oc1_e:
    case main_block_oc2_e:
    case main_block_oc3_e: return {"oc" + std::to_string(block - main_block_oc1_e + 1)};
    default: return {};
  }
}

}  // namespace

std::vector<const hal_field_s *> main_block_fields(int block) {
  const std::vector<std::string> prefixes = block_prefixes(block);
  std::vector<const hal_field_s *> out;
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s *f = &hal_api_fields[i];
    if (f->kind == hal_field_ptr_e) continue;
    for (const std::string &p : prefixes)
      if (starts(f->name, p)) {
        out.push_back(f);
        break;
      }
  }
  return out;
}

namespace {

// The value of a field of type T through its table entry (fields need not be aligned for T).
template <class T>
T field_value(const void *p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

std::string main_field_text(const hal_api_s *hal, const hal_field_s *field) {
  const void *p = hal_field_ptr(hal, field);
  char buf[128];
  switch (field->kind) {
    case hal_field_u32_e: {
      const auto v = field_value<uint32_t>(p);
      std::snprintf(buf, sizeof buf, "%u (0x%X)", v, v);
      break;
    }
    case hal_field_i32_e:
    case hal_field_enum_e: {
      const auto v = field_value<int32_t>(p);
      std::snprintf(buf, sizeof buf, "%d", v);
      break;
    }
    case hal_field_u64_e: {
      const auto v = field_value<uint64_t>(p);
      std::snprintf(buf, sizeof buf, "%llu (0x%llX)", static_cast<unsigned long long>(v),
                    static_cast<unsigned long long>(v));
      break;
    }
    case hal_field_i64_e: {
      const auto v = field_value<int64_t>(p);
      std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
      break;
    }
    case hal_field_dbl_e: {
      const auto v = field_value<double>(p);
      std::snprintf(buf, sizeof buf, "%.12g", v);
      break;
    }
    case hal_field_fprec_e: {
      const auto v = field_value<fprec_s>(p);
      std::snprintf(buf, sizeof buf, "%u x %u / %u Hz (%s MHz)", v.f, v.n, v.m, main_mhz_text(v).c_str());
      break;
    }
    default: buf[0] = '\0'; break;
  }
  return buf;
}
