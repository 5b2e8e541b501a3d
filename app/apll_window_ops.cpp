#include "app/apll_window_ops.h"

#include <cctype>

#include "app/freq_entry.h"
#include "arith/fprec.h"

double apll_phase_step_ps(fprec_s vco) {
  const double mhz = fprec_s_2_double_mhz(vco);
  return mhz > 0 ? 1000000.0 / mhz * 0.125 : 0.0;
}

std::string apll_phase_step_text(fprec_s vco) {
  const double ps = apll_phase_step_ps(vco);
  return ps > 0 ? DoubleTextBox_Format(ps, 3) + " ps" : "-";
}

std::string apll_hsdiv_text(const hal_api_s *h, int which) {
  if (which == 2 && h->apllcr1_enhs2_u1 != 1) return "OFF";
  return DoubleTextBox_Format((which == 2 ? h->vco_hsdiv2x2_u8 : h->vco_hsdiv1x2_u8) / 2.0, 1);
}

choice_list_s apll_phase_source_list(bool increment, uint32_t source) {
  choice_list_s list;
  list.items.push_back({increment ? "Increment Button" : "Decrement Button", 0});
  ComboBoxUtil_AppendCharArray(&list, __dev_GpioStr, 4);
  if (!ComboBoxUtil_SelectByValue(&list, static_cast<int32_t>(source))) list.selected = -1;
  return list;
}

void apll_phase_click(hal_api_s *h, bool increment) {
  uint32_t &bit = increment ? h->apllcr4_incph_u1 : h->apllcr4_decph_u1;
  bit = bit ? 0 : 1;
}

const apll_test_reg_s APLL_TEST_REGS[APLL_TEST_REG_COUNT] = {
    {0x120, "DCO1", &hal_api_s::dco1_u8},          {0x121, "DCO2", &hal_api_s::dco2_u8},
    {0x122, "DCO3", &hal_api_s::dco3_u8},          {0x123, "ALTPLL1", &hal_api_s::altpll1_u8},
    {0x124, "ALTPLL2", &hal_api_s::altpll2_u8},    {0x125, "PLLTCR5", &hal_api_s::plltcr5_u8},
    {0x126, "PLLTCR6", &hal_api_s::plltcr6_u8},    {0x127, "PLLTCR7", &hal_api_s::plltcr7_u8},
    {0x128, "PLLTCR8", &hal_api_s::plltcr8_u8},    {0x129, "PLLTCR9", &hal_api_s::plltcr9_u8},
    {0x12A, "PLLTCR10", &hal_api_s::plltcr10_u8},  {0x12B, "PLLTCR11", &hal_api_s::plltcr11_u8},
    {0x12C, "PLLTCR12", &hal_api_s::plltcr12_u8},
};

bool apll_test_parse(const std::string &text, uint32_t *value) {
  size_t i = 0, end = text.size();
  while (i < end && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  while (end > i && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (i == end || end - i > 2) return false;
  uint32_t v = 0;
  for (; i < end; ++i) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    if (c >= '0' && c <= '9')
      v = v * 16 + static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
      v = v * 16 + static_cast<uint32_t>(c - 'A' + 10);
    else
      return false;
  }
  *value = v;
  return true;
}

void apll_test_store(hal_api_s *h, int index, uint32_t value) {
  if (index < 0 || index >= APLL_TEST_REG_COUNT) return;
  const apll_test_reg_s &r = APLL_TEST_REGS[index];
  h->auto_apll_disable = 1;
  h->*r.field = value & 0xFFu;
  put_reg(h, r.address, value & 0xFFu);
}

void apll_test_automatic(hal_api_s *h, bool automatic) { h->auto_apll_disable = automatic ? 0 : 1; }
