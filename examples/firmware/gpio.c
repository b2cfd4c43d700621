/* GPIO pins, LEDs and buttons. */
#include "fw.h"

#define GPIO_BASE 0xbf000600
#define GPIO_DIR (GPIO_BASE + 0x00)
#define GPIO_OUT (GPIO_BASE + 0x04)
#define GPIO_IN (GPIO_BASE + 0x08)
#define GPIO_IRQ (GPIO_BASE + 0x0c)

static const u8 led_pins[4] = {8, 9, 10, 11};
static const u8 button_pins[2] = {2, 3};
static u32 button_events;

void gpio_init(void) {
    REG32(GPIO_DIR) = 0;
    for (unsigned i = 0; i < ARRAY_SIZE(led_pins); ++i) gpio_set_dir(led_pins[i], 1);
    REG32(GPIO_IRQ) = 1u << button_pins[0] | 1u << button_pins[1];
    irq_register(5, gpio_irq);
}

void gpio_set_dir(int pin, int out) {
    if (out) REG32(GPIO_DIR) |= 1u << pin;
    else REG32(GPIO_DIR) &= ~(1u << pin);
}

void gpio_write(int pin, int value) {
    if (value) REG32(GPIO_OUT) |= 1u << pin;
    else REG32(GPIO_OUT) &= ~(1u << pin);
}

int gpio_read(int pin) { return (REG32(GPIO_IN) >> pin) & 1; }

void gpio_toggle(int pin) { REG32(GPIO_OUT) ^= 1u << pin; }

void led_set(int led, int on) {
    if (led >= 0 && led < (int)ARRAY_SIZE(led_pins)) gpio_write(led_pins[led], on);
}

void led_blink(int led) {
    if (led >= 0 && led < (int)ARRAY_SIZE(led_pins)) gpio_toggle(led_pins[led]);
}

int button_pressed(int button) {
    u32 bit = 1u << button;
    if (button_events & bit) {
        button_events &= ~bit;
        return 1;
    }
    return !gpio_read(button_pins[button]);
}

void gpio_irq(void) {
    u32 pending = REG32(GPIO_IRQ + 4);
    REG32(GPIO_IRQ + 4) = pending;
    for (unsigned i = 0; i < ARRAY_SIZE(button_pins); ++i)
        if (pending & (1u << button_pins[i])) button_events |= 1u << i;
}
