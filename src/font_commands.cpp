// The commands of os64-font: import, export, show, extract and check.
#include "font_commands.h"

#include "boot_checksum.h"
#include "font_files.h"
#include "font_formats.h"
#include "font_table.h"
#include "platform.h"

#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

// Inputs to import larger than this are neither console fonts nor glyph
// sheets.
static const std::uint64_t max_import_size = 64u << 20;

// Images are searched in memory with 32-bit offsets; the patcher takes
// images up to this size, and so does extract.
static const std::uint64_t max_image_size = 0x7FFFFFFF;

// The CRC-32 of bytes 0x40 to 0xFFF of an image whose boot code is the
// one that goes with the 6102 boot chip.
static const std::uint32_t boot_code_6102_crc = 0x90BB6CB5;
static const std::uint32_t boot_code_start = 0x40;

void report_error(const std::string& message)
{
	std::fflush(stdout);
	std::fprintf(stderr, "os64-font: %s\n", message.c_str());
}

static void report_warning(const std::string& message)
{
	report_error("warning: " + message);
}

// Opens a regular file for reading.  Reports and returns false on failure.
static bool open_input(const char* path, std::FILE** stream, std::uint64_t* size)
{
	int error = open_regular_file(path, false, stream, size);
	if (error != 0) {
		report_error(std::string("cannot open ") + path + ": " + platform_error_text(error));
		return false;
	}
	return true;
}

static bool read_input(const char* path, std::FILE* stream, std::uint64_t size, byte_buffer* data)
{
	int error = read_and_close(stream, size, data);
	if (error != 0) {
		report_error(std::string("cannot read ") + path + ": " + platform_error_text(error));
		return false;
	}
	return true;
}

// Reads a whole input file of at most max_size bytes; what names what the
// file is meant to be, for the message about a file too large.
static bool read_whole_input(const char* path, std::uint64_t max_size, const char* what,
                             byte_buffer* data)
{
	std::FILE* stream = nullptr;
	std::uint64_t size = 0;
	if (!open_input(path, &stream, &size))
		return false;
	if (size > max_size) {
		std::fclose(stream);
		report_error(std::string(path) + ": " + std::to_string(size) + " bytes, more than " +
		             std::to_string(max_size) + " for " + what);
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
		report_error(std::string(path) + ": " + std::to_string(size) +
		             " bytes, but a font table has exactly 2048 (256 glyphs of 8 bytes)");
		return false;
	}
	return read_input(path, stream, size, table);
}

static bool write_output(const char* path, const byte_buffer& data, bool force)
{
	int error = write_output_file(path, data, force);
	if (error == EEXIST && !force) {
		report_error(std::string(path) + " already exists; use --force to replace it");
		return false;
	}
	if (error != 0) {
		report_error(std::string("cannot write ") + path + ": " + platform_error_text(error));
		return false;
	}
	return true;
}

int import_command(const char* input, const char* output, bool force)
{
	byte_buffer data;
	if (!read_whole_input(input, max_import_size, "a font or a glyph sheet", &data))
		return 1;
	import_result font;
	std::string error;
	if (!import_font(data, &font, &error)) {
		report_error(std::string(input) + ": " + error);
		return 1;
	}
	if (!write_output(output, font.table, force))
		return 1;
	std::string what = font.kind + (font.gzip ? ", gzip-compressed" : "");
	if (font.scale == 0) {
		what += ", " + std::to_string(font.glyphs) + " glyphs of 8x8";
		if (font.glyphs > font_glyph_count)
			what += ", of which the first 256 are taken";
	} else {
		what += " at scale " + std::to_string(font.scale);
		if (font.grid)
			what += " with grid lines";
	}
	std::printf("%s: %s\nwrote %s (2048 bytes)\n", input, what.c_str(), output);
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
	std::printf("wrote %s (%ux%u pixels, scale %u%s)\n", output, size, size, scale,
	            grid ? ", with grid lines" : "");
	return 0;
}

int show_command(const char* font, const std::string* text, unsigned columns)
{
	byte_buffer table;
	if (!read_font_table(font, &table))
		return 1;
	std::string drawing = text != nullptr ? render_text(table.data(), *text)
	                                      : render_table(table.data(), columns);
	std::fwrite(drawing.data(), 1, drawing.size(), stdout);
	return 0;
}

int extract_command(const char* image_path, const char* output, bool force)
{
	byte_buffer image;
	if (!read_whole_input(image_path, max_image_size, "an image", &image))
		return 1;
	std::uint32_t offset = 0;
	if (!locate_font_signature(image.data(), (std::uint32_t)image.size(), &offset)) {
		// In another byte order the font is not found either, for a
		// reason other than a patch.
		std::string explanation = byte_order_explanation(
		        image_path, detect_byte_order(image.data(), image.size()), "to be searched");
		if (!explanation.empty())
			report_error(std::string(image_path) + ": the built-in font is not found: " +
			             explanation);
		else
			report_error(std::string(image_path) +
			             ": the built-in font is not in it (already patched?)");
		return 1;
	}
	if (image.size() - offset < font_table_size) {
		char message[160];
		std::snprintf(message, sizeof message,
		              ": the built-in font starts at 0x%x, but its 2048 bytes would run "
		              "past the end of the image (%llu bytes)",
		              (unsigned)offset, (unsigned long long)image.size());
		report_error(image_path + std::string(message));
		return 1;
	}
	byte_buffer table(image.begin() + offset, image.begin() + offset + font_table_size);
	if (!write_output(output, table, force))
		return 1;
	std::printf("%s: built-in font at 0x%x\nwrote %s (2048 bytes)\n", image_path,
	            (unsigned)offset, output);
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

static std::uint32_t big_endian_32(const std::uint8_t* p)
{
	return (std::uint32_t)p[0] << 24 | (std::uint32_t)p[1] << 16 | (std::uint32_t)p[2] << 8 |
	       (std::uint32_t)p[3];
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
		report_error(std::string("cannot read ") + image_path + ": " +
		             platform_error_text(error));
		return 1;
	}

	// In another byte order every word of the image stands elsewhere, so a
	// checksum computed over it would say nothing: name the order instead.
	std::string explanation = byte_order_explanation(
	        image_path, detect_byte_order(header, header_length), "to be checked");
	if (!explanation.empty()) {
		std::fclose(image);
		report_error(explanation);
		return 1;
	}

	if (!boot_checksum_size_ok(size)) {
		std::fclose(image);
		std::string what = std::string(image_path) + ": " + std::to_string(size) + " bytes";
		if (size < boot_region_start)
			report_error(what + ", fewer than the 4096 bytes of a header and boot code, so "
			                    "it has no boot checksum");
		else
			report_error(what + ", which is not a whole number of 4-byte words, as an "
			                    "image shorter than 1052672 bytes must be");
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
		report_error(std::string("cannot read ") + image_path + ": " +
		             platform_error_text(error));
		return 1;
	}

	std::uint32_t stored_1 = big_endian_32(header + boot_checksum_offset);
	std::uint32_t stored_2 = big_endian_32(header + boot_checksum_offset + 4);
	bool match = stored_1 == word_1 && stored_2 == word_2;
	std::uint32_t crc = (std::uint32_t)crc32(0L, header + boot_code_start,
	                                         boot_region_start - boot_code_start);
	bool boot_6102 = crc == boot_code_6102_crc;

	std::printf("stored checksum:   %s\n", checksum_text(stored_1, stored_2).c_str());
	std::printf("computed checksum: %s\n", checksum_text(word_1, word_2).c_str());
	if (match)
		std::puts("checksum matches");
	else if (stored_1 == 0 && stored_2 == 0)
		std::puts("checksum missing: the header holds zeros where it belongs");
	else
		std::puts("checksum does not match");
	std::printf("boot code CRC-32:  %08X, %s\n", (unsigned)crc,
	            boot_6102 ? "the 6102 boot code" : "not the 6102 boot code (90BB6CB5)");
	if (!boot_6102)
		report_warning(std::string(image_path) +
		               ": the boot code is not the 6102 one, and the boot checksum "
		               "computed here is only valid for that one");
	return match ? 0 : 1;
}
