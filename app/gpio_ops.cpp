#include "app/gpio_ops.h"

#include <cstdio>
#include <string_view>

#include "regs/regmap.h"

namespace {

// The status registers the KX40110 and KX40111 lack (their layouts are empty or absent).
bool missing_on_small_parts(uint32_t a) {
  return a == 0x044 || a == 0x047 || a == 0x049 || a == 0x04A || (a >= 0x04E && a <= 0x052) ||
         (a >= 0x056 && a <= 0x05C);
}

uint32_t reg(const hal_api_s *hal, uint32_t a) { return get_reg(hal, a) & 0xFFu; }

bool valid_pin(int pin) { return pin >= 0 && pin < GPIO_PINS; }

}  // namespace

int32_t gpio_function(const hal_api_s *hal, int pin) {
  if (!hal || !valid_pin(pin)) return 0;
  const uint32_t v = reg(hal, GPIO_REG_CR2) << 8 | reg(hal, GPIO_REG_CR1);
  return static_cast<int32_t>((v >> (4 * pin)) & 0xFu);
}

void gpio_function_store(hal_api_s *hal, int pin, int32_t function) {
  if (!hal || !valid_pin(pin)) return;
  uint32_t v = reg(hal, GPIO_REG_CR2) << 8 | reg(hal, GPIO_REG_CR1);
  const uint32_t shift = 4u * static_cast<uint32_t>(pin);
  v = (v & ~(0xFu << shift)) | ((static_cast<uint32_t>(function) & 0xFu) << shift);
  put_reg(hal, GPIO_REG_CR1, v & 0xFFu);
  put_reg(hal, GPIO_REG_CR2, v >> 8);
}

bool gpio_function_is_status(int32_t function) { return function >= 4 && function <= 7; }

std::vector<uint32_t> gpio_status_registers(int32_t product_index) {
  std::vector<uint32_t> out;
  const bool small = product_index == 0 || product_index == 1;
  for (uint32_t a = GPIO_STATUS_FIRST; a <= GPIO_STATUS_LAST; ++a)
    if (!(small && missing_on_small_parts(a))) out.push_back(a);
  return out;
}

std::string gpio_register_entry(uint32_t address) {
  char buf[64];
  const char *name = kova_reg_name(address);
  std::snprintf(buf, sizeof buf, "0x%02X; %s", address, name ? name : "-");
  return buf;
}

uint32_t gpio_register_of_entry(const std::string &entry) {
  const std::string head = entry.substr(0, entry.find(';'));
  unsigned long v = 0;
  char tail = 0;
  if (std::sscanf(head.c_str(), "%lx%c", &v, &tail) != 1) return 0;
  return static_cast<uint32_t>(v);
}

uint32_t gpio_route_register(const hal_api_s *hal, int pin) {
  if (!hal || !valid_pin(pin)) return GPIO_STATUS_FIRST;
  return GPIO_STATUS_FIRST + (reg(hal, GPIO_REG_SS0 + static_cast<uint32_t>(pin)) >> 3);
}

uint32_t gpio_route_bit(const hal_api_s *hal, int pin) {
  if (!hal || !valid_pin(pin)) return 0;
  return reg(hal, GPIO_REG_SS0 + static_cast<uint32_t>(pin)) & 7u;
}

void gpio_route_store(hal_api_s *hal, int pin, uint32_t address, uint32_t bit) {
  if (!hal || !valid_pin(pin) || address < GPIO_STATUS_FIRST || address > GPIO_STATUS_LAST) return;
  put_reg(hal, GPIO_REG_SS0 + static_cast<uint32_t>(pin), ((address - GPIO_STATUS_FIRST) << 3) | (bit & 7u));
}

std::vector<std::string> gpio_bit_entries(uint32_t address, int32_t device) {
  std::string names[8];
  for (auto &n : names) n = "-";
  // Components from bit 7 down: "-", NAME, NAME[h:l], NAME[n].
  std::string_view rest = kova_text(kova_reg_bitfields(address, device));
  int top = 7;
  while (top >= 0) {
    const size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    const std::string_view comp = rest.substr(0, rest.find(' '));
    rest.remove_prefix(comp.size());
    uint32_t high = 0, low = 0, width = 1;
    if (!BitfieldComponentParse(comp, &high, &low, &width) || static_cast<int>(width) > top + 1) break;
    const std::string name(comp.substr(0, comp.find('[')));
    const bool wide = IsMultiBitField(comp);
    for (uint32_t i = 0; i < width; ++i) {
      const int bit = top - static_cast<int>(i);
      names[bit] = wide ? name + "[" + std::to_string(high - i) + "]" : name;
    }
    top -= static_cast<int>(width);
  }
  std::vector<std::string> out;
  for (int b = 0; b < 8; ++b) out.push_back(std::to_string(b) + ": " + names[b]);
  return out;
}

bool gpio_state(const hal_api_s *hal, int pin) {
  return hal && valid_pin(pin) && ((reg(hal, GPIO_REG_STATE) >> pin) & 1u) != 0;
}
