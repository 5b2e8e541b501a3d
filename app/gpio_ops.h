// The GPIO pins of the chip as the GPIO configuration window edits them, straight in the
// register image: each pin's function (a 4-bit field of GPIOCR2:GPIOCR1) and, for a pin that
// shows a status bit, the status register and bit it shows (GPIOkSS). Plain functions over
// the configuration object; the window applies the edits through the ordinary change flow.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "hal/hal_api.h"

constexpr int GPIO_PINS = 4;
constexpr uint32_t GPIO_REG_CR1 = 0x00E;    // GPIO1C, GPIO0C
constexpr uint32_t GPIO_REG_CR2 = 0x00F;    // GPIO3C, GPIO2C
constexpr uint32_t GPIO_REG_SS0 = 0x012;    // GPIO0SS; GPIOkSS at 0x012 + k
constexpr uint32_t GPIO_REG_STATE = 0x041;  // GPIOSR
constexpr uint32_t GPIO_STATUS_FIRST = 0x040, GPIO_STATUS_LAST = 0x05E;

// The function of a pin (position in __dev_GpioControlStr, 0 to 15 as the chip holds it).
int32_t gpio_function(const hal_api_s *hal, int pin);
// Stores a pin's function into GPIOCR1/GPIOCR2 of the image; the other pins keep theirs.
void gpio_function_store(hal_api_s *hal, int pin, int32_t function);
// The status output functions (positions 4 to 7) route a status bit to the pin.
bool gpio_function_is_status(int32_t function);

// The status registers a pin can show on a product (product index): 0x040 to 0x05E, less
// those the KX40110 and KX40111 (indices 0 and 1) do not have.
std::vector<uint32_t> gpio_status_registers(int32_t product_index);
// A register list entry: "0x", the address in two upper-case hex digits, "; ", its name.
std::string gpio_register_entry(uint32_t address);
// The address at the start of an entry (hex before ";"), or 0 when there is none.
uint32_t gpio_register_of_entry(const std::string &entry);

// The status register and bit routed to a pin (from GPIOkSS of the image).
uint32_t gpio_route_register(const hal_api_s *hal, int pin);
uint32_t gpio_route_bit(const hal_api_s *hal, int pin);
// Stores the routing into GPIOkSS of the image: (address - 0x040) << 3 | bit.
void gpio_route_store(hal_api_s *hal, int pin, uint32_t address, uint32_t bit);

// The eight bit entries of a status register on a device, bit 0 first: "k: NAME", a wider
// field giving one entry per bit with its index in brackets ("0: AC[0]").
std::vector<std::string> gpio_bit_entries(uint32_t address, int32_t device);

// A pin's level from GPIOSR of the image.
bool gpio_state(const hal_api_s *hal, int pin);
