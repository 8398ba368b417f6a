/* SPDX-License-Identifier: MIT */
/*
 * kestrix in a UEFI application: lines on the firmware's console, then the
 * machine switched off. One source for both ways of building one
 * (docs/uefi.md): a PE object from clang --target=*-unknown-windows, linked
 * by lld-link with efi_main as its entry, or an ELF object that gnu-efi's
 * start code calls and objcopy makes into PE.
 *
 * The few UEFI types it uses are declared here, laid out as the firmware
 * passes them, so that no firmware kit's headers are needed.
 */
#include <kestrix_checked.h>

#include <stddef.h>
#include <stdint.h>

/* Firmware services use the Microsoft x64 convention on x86-64. A PE
 * target's functions already do; an ELF build says so for each call. */
#if defined(__x86_64__) && !defined(_WIN32)
#define EFIAPI __attribute__((ms_abi))
#else
#define EFIAPI
#endif

typedef uint64_t efi_status;
typedef uint16_t efi_char16;
typedef void *efi_handle;

typedef struct {
    uint64_t signature;
    uint32_t revision, header_size, crc32, reserved;
} efi_table_header;

typedef struct efi_text_output efi_text_output;
struct efi_text_output {
    void *reset;
    efi_status(EFIAPI *output_string)(efi_text_output *self, efi_char16 *text);
    /* Further members are not used. */
};

enum { efi_reset_shutdown = 2 };

typedef struct {
    efi_table_header header;
    void *get_time, *set_time, *get_wakeup_time, *set_wakeup_time;
    void *set_virtual_address_map, *convert_pointer;
    void *get_variable, *get_next_variable_name, *set_variable;
    void *get_next_high_monotonic_count;
    void(EFIAPI *reset_system)(int reset_type, efi_status status, uintptr_t data_size, void *data);
} efi_runtime_services;

typedef struct {
    efi_table_header header;
    efi_char16 *firmware_vendor;
    uint32_t firmware_revision;
    efi_handle console_in_handle;
    void *con_in;
    efi_handle console_out_handle;
    efi_text_output *con_out;
    efi_handle standard_error_handle;
    efi_text_output *std_err;
    efi_runtime_services *runtime_services;
    void *boot_services;
    uintptr_t number_of_table_entries;
    void *configuration_table;
} efi_system_table;

/* The sink: each byte widened to one UCS-2 unit, "\n" written as "\r\n",
 * and each line handed to the console whole (or in pieces of a line's
 * room, should one be longer). */
struct console {
    efi_text_output *out;
    size_t len;
    efi_char16 line[81];
};

static void flush(struct console *con)
{
    con->line[con->len] = 0;
    con->out->output_string(con->out, con->line);
    con->len = 0;
}

static void console_put(void *ctx, int32_t c)
{
    struct console *con = ctx;
    if (con->len + 2 >= sizeof con->line / sizeof con->line[0])
        flush(con);
    if (c == '\n')
        con->line[con->len++] = '\r';
    con->line[con->len++] = (efi_char16)(uint8_t)c;
    if (c == '\n')
        flush(con);
}

efi_status efi_main(efi_handle image, efi_system_table *system)
{
    (void)image;
    /* Members set one by one: an initialiser could become a call to
     * memset, which nothing defines here. */
    struct console con;
    con.out = system->con_out;
    con.len = 0;

    kestrix_fnprintf(console_put, &con, "kestrix on UEFI: start\n");
    kestrix_fnprintf(console_put, &con, "fnprintf: %d %u %x %p %c 100%%\n", (int64_t)-42, (uint64_t)UINT64_MAX,
                     (uint64_t)0x1FF, (uint64_t)0xBEEF, (uint64_t)'K');

    char small[10];
    size_t needed = KESTRIX_SNPRINTF(small, sizeof small, "cut to fit %d", -1234567);
    KESTRIX_FNPRINTF(console_put, &con, "bounded: \"%s\" needed %u of %u\n", small, needed, sizeof small);

    char buf[32];
    char *end = kestrix_sprintf(buf, "%X %i", (uint64_t)0xABCD1234, (int64_t)-7);
    KESTRIX_FNPRINTF(console_put, &con, "sprintf: %s (%d bytes)\n", buf, end - buf);

    kestrix_str(console_put, &con, "emitters: ");
    kestrix_str(console_put, &con, NULL);
    console_put(&con, ' ');
    kestrix_hex(console_put, &con, 0xC0FFEE, 4);
    console_put(&con, ' ');
    kestrix_dec(console_put, &con, (uint64_t)INT64_MIN, 1);
    console_put(&con, ' ');
    kestrix_dec(console_put, &con, UINT64_MAX, 0);
    console_put(&con, '\n');

    kestrix_fnprintf(console_put, &con, "kestrix on UEFI: done\n");
    system->runtime_services->reset_system(efi_reset_shutdown, 0, 0, NULL);
    return 0;
}
