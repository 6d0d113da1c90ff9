// The commands of os64-font: import, export, show, extract and check.
#include "font_commands.h"

#include "boot_checksum.h"
#include "font_codepage.h"
#include "font_decode.h"
#include "font_files.h"
#include "font_patch.h"
#include "font_png.h"
#include "font_render.h"
#include "font_sheet.h"
#include "font_table.h"
#include "image_check.h"
#include "messages.h"
#include "platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

// Inputs to import larger than this are neither console fonts nor glyph
// sheets.
static const std::uint64_t max_import_size = 64u << 20;

void report_error(const std::string& message)
{
	std::fflush(stdout);
	std::fprintf(stderr, "os64-font: %s\n", message.c_str());
}

static void report_warning(const std::string& message)
{
	report_error(format(tr("warning: %s"), {message}));
}

// Opens a regular file for reading.  Reports and returns false on failure.
static bool open_input(const char* path, std::FILE** stream, std::uint64_t* size)
{
	int error = open_regular_file(path, false, stream, size);
	if (error != 0) {
		report_error(format(tr("cannot open %s: %s"), {path, platform_error_text(error)}));
		return false;
	}
	return true;
}

static bool read_input(const char* path, std::FILE* stream, std::uint64_t size, byte_buffer* data)
{
	int error = read_and_close(stream, size, data);
	if (error != 0) {
		report_error(format(tr("cannot read %s: %s"), {path, platform_error_text(error)}));
		return false;
	}
	return true;
}

// Reads a whole input file of at most max_size bytes; too_large is the
// message about a file too large, with the path, the size and max_size.
static bool read_whole_input(const char* path, std::uint64_t max_size, const char* too_large,
                             byte_buffer* data)
{
	std::FILE* stream = nullptr;
	std::uint64_t size = 0;
	if (!open_input(path, &stream, &size))
		return false;
	if (size > max_size) {
		std::fclose(stream);
		report_error(format(tr(too_large), {path, number_text(size), number_text(max_size)}));
		return false;
	}
	return read_input(path, stream, size, data);
}

// Reads a raw font table, which must be complete: 2048 bytes.
static bool read_font_table(const char* path, byte_buffer* table)
{
	std::FILE* stream = nullptr;
	std::uint64_t size = 0;
	if (!open_input(path, &stream, &size))
		return false;
	if (size != font_table_size) {
		std::fclose(stream);
		report_error(format(tr("%s: %s bytes, but a font table has exactly 2048 (256 glyphs of "
		                       "8 bytes)"),
		                    {path, number_text(size)}));
		return false;
	}
	return read_input(path, stream, size, table);
}

static bool write_output(const char* path, const byte_buffer& data, bool force)
{
	int error = write_output_file(path, data, force);
	if (error == EEXIST && !force) {
		report_error(format(tr("%s already exists; use --force to replace it"), {path}));
		return false;
	}
	if (error != 0) {
		report_error(format(tr("cannot write %s: %s"), {path, platform_error_text(error)}));
		return false;
	}
	return true;
}

// The code page of the menu's slots that --slots names, or code page 437.
static bool slots_option(const char* name, slots_codepage* slots)
{
	std::string error;
	if (menu_codepage(name != nullptr ? name : "", slots, &error))
		return true;
	report_error(name != nullptr ? format(tr("--slots: %s"), {error}) : error);
	return false;
}

int import_command(const char* input, const char* output, const import_request& request)
{
	slots_codepage slots;
	if (!slots_option(request.slots, &slots))
		return 1;
	byte_buffer data;
	if (!read_whole_input(input, max_import_size,
	                      N_("%s: %s bytes, more than %s for a font or a glyph sheet"), &data))
		return 1;
	byte_buffer fill;
	if (request.fill != nullptr && !read_font_table(request.fill, &fill))
		return 1;
	import_options options;
	options.codepage = request.codepage != nullptr ? request.codepage : "";
	options.slots = &slots;
	options.size = request.size;
	options.fill = request.fill != nullptr ? fill.data() : nullptr;
	import_result font;
	std::string error;
	if (!import_font(data, options, &font, &error)) {
		report_error(format(tr("%s: %s"), {input, error}));
		return 1;
	}
	if (!write_output(output, font.table, request.force))
		return 1;
	std::fputs(format(tr("%s: %s\nwrote %s (2048 bytes)\n"),
	                  {input, describe_import(font), output}).c_str(),
	           stdout);
	if (!font.missing.empty())
		report_warning(missing_warning(input, font, request.fill));
	if (!font.left_out.empty())
		report_warning(left_out_warning(input, font));
	return 0;
}

int export_command(const char* font, const char* output, unsigned scale, bool grid, bool force)
{
	byte_buffer table;
	if (!read_font_table(font, &table))
		return 1;
	byte_buffer png;
	std::string error;
	if (!write_sheet(table.data(), scale, grid, &png, &error)) {
		report_error(error);
		return 1;
	}
	if (!write_output(output, png, force))
		return 1;
	unsigned size = sheet_size * scale + (grid ? sheet_grid_extra : 0);
	std::fputs(format(grid ? tr("wrote %s (%sx%s pixels, scale %s, with grid lines)\n")
	                       : tr("wrote %s (%sx%s pixels, scale %s)\n"),
	                  {output, number_text(size), number_text(size), number_text(scale)})
	                   .c_str(),
	           stdout);
	return 0;
}

// Says which characters of a text show drew as boxes, as the code page
// called title lacks them.
static void report_unknown_characters(const std::vector<std::uint32_t>& unknown,
                                      const std::string& title)
{
	std::string list;
	for (std::size_t i = 0; i < unknown.size(); i++) {
		if (std::find(unknown.begin(), unknown.begin() + (std::ptrdiff_t)i, unknown[i]) !=
		    unknown.begin() + (std::ptrdiff_t)i)
			continue;
		list += list.empty() ? "" : ", ";
		list += unknown[i] == invalid_utf8 ? tr("bytes that are not UTF-8")
		                                   : describe_character(unknown[i]);
	}
	report_warning(format(tr_n("%s character of the text is not in %s and is drawn as a box: %s",
	                           "%s characters of the text are not in %s and are drawn as "
	                           "boxes: %s",
	                           unknown.size()),
	                      {number_text(unknown.size()), title, list}));
}

int show_command(const char* font, const std::string* text, unsigned columns,
                 const char* slots_name)
{
	slots_codepage slots;
	if (!slots_option(slots_name, &slots))
		return 1;
	byte_buffer table;
	if (!read_font_table(font, &table))
		return 1;
	if (text == nullptr) {
		if (columns == 0)
			columns = table_columns_for_width(terminal_columns(stdout));
		std::string drawing = render_table(table.data(), columns);
		std::fwrite(drawing.data(), 1, drawing.size(), stdout);
		return 0;
	}
	text_drawing drawn;
	render_text(table.data(), *text, slots, &drawn);
	std::fwrite(drawn.drawing.data(), 1, drawn.drawing.size(), stdout);
	if (!drawn.unknown.empty())
		report_unknown_characters(drawn.unknown, slots.title);
	return 0;
}

int extract_command(const char* image_path, const char* output, bool force)
{
	byte_buffer image;
	if (!read_whole_input(image_path, max_image_size, N_("%s: %s bytes, more than %s for an image"),
	                      &image))
		return 1;
	std::uint32_t offset = 0;
	std::string problem = find_builtin_font(image.data(), image.size(), &offset);
	if (!problem.empty()) {
		report_error(format(tr("%s: %s"), {image_path, problem}));
		return 1;
	}
	byte_buffer table(image.begin() + offset, image.begin() + offset + font_table_size);
	if (!write_output(output, table, force))
		return 1;
	char at[16];
	std::snprintf(at, sizeof at, "0x%x", (unsigned)offset);
	std::fputs(format(tr("%s: built-in font at %s\nwrote %s (2048 bytes)\n"),
	                  {image_path, at, output}).c_str(),
	           stdout);
	return 0;
}

static std::string checksum_text(std::uint32_t word_1, std::uint32_t word_2)
{
	char text[40];
	std::snprintf(text, sizeof text, "%02X %02X %02X %02X  %02X %02X %02X %02X",
	              word_1 >> 24, (word_1 >> 16) & 0xFF, (word_1 >> 8) & 0xFF, word_1 & 0xFF,
	              word_2 >> 24, (word_2 >> 16) & 0xFF, (word_2 >> 8) & 0xFF, word_2 & 0xFF);
	return text;
}

int check_command(const char* image_path)
{
	std::FILE* image = nullptr;
	std::uint64_t size = 0;
	if (!open_input(image_path, &image, &size))
		return 1;

	// The header and boot code come first; the stream is then at the start
	// of the data region, where the checksum computation begins.  Of an
	// image too short to have them, what there is is read for its first
	// word.
	std::uint8_t header[boot_region_start];
	std::size_t header_length = size < sizeof header ? (std::size_t)size : sizeof header;
	int error = read_exactly(image, header, header_length);
	if (error != 0) {
		std::fclose(image);
		report_error(format(tr("cannot read %s: %s"), {image_path, platform_error_text(error)}));
		return 1;
	}

	// In another byte order every word of the image stands elsewhere, so a
	// checksum computed over it would say nothing: name the order instead.
	std::string explanation = byte_order_explanation(
	        image_path, detect_byte_order(header, header_length), purpose::checked);
	if (!explanation.empty()) {
		std::fclose(image);
		report_error(explanation);
		return 1;
	}

	std::string problem = check_size_problem(size);
	if (!problem.empty()) {
		std::fclose(image);
		report_error(format(tr("%s: %s"), {image_path, problem}));
		return 1;
	}

	std::uint64_t after_header = size - boot_region_start;
	std::uint32_t file_left =
	        after_header > 0xFFFFFFFFu ? 0xFFFFFFFFu : (std::uint32_t)after_header;
	std::uint32_t word_1 = 0;
	std::uint32_t word_2 = 0;
	error = compute_boot_checksum(image, file_left, &word_1, &word_2);
	std::fclose(image);
	if (error != 0) {
		report_error(format(tr("cannot read %s: %s"), {image_path, platform_error_text(error)}));
		return 1;
	}

	image_check check;
	check_header(header, word_1, word_2, &check);

	// TRANSLATORS: the three labels of the checksums and the CRC are as
	// wide as one another, so that their values line up.
	std::string lines = format(tr("stored checksum:   %s\ncomputed checksum: %s\n"),
	                           {checksum_text(check.stored_1, check.stored_2),
	                            checksum_text(check.computed_1, check.computed_2)});
	if (check.matches)
		lines += tr("checksum matches\n");
	else if (check.stored_1 == 0 && check.stored_2 == 0)
		lines += tr("checksum missing: the header holds zeros where it belongs\n");
	else
		lines += tr("checksum does not match\n");
	char crc[16];
	std::snprintf(crc, sizeof crc, "%08X", (unsigned)check.boot_code_crc);
	lines += format(check.is_6102 ? tr("boot code CRC-32:  %s, the 6102 boot code\n")
	                              : tr("boot code CRC-32:  %s, not the 6102 boot code "
	                                   "(90BB6CB5)\n"),
	                {crc});
	std::fputs(lines.c_str(), stdout);
	if (!check.is_6102)
		report_warning(format(tr("%s: the boot code is not the 6102 one, and the boot "
		                         "checksum computed here is only valid for that one"),
		                      {image_path}));
	return check.matches ? 0 : 1;
}
