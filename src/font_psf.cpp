// PSF1 and PSF2 console fonts and their Unicode tables.
#include "font_psf.h"

#include "font_codepage.h"
#include "messages.h"

#include <cstring>

static const std::uint8_t psf1_magic[2] = {0x36, 0x04};
static const std::uint8_t psf2_magic[4] = {0x72, 0xB5, 0x4A, 0x86};

// PSF1 mode bits: 512 glyphs instead of 256; a Unicode table follows the
// glyphs (either of the other two bits says so).
static const unsigned psf1_512 = 0x01;
static const unsigned psf1_table = 0x06;
// PSF2 flag: a Unicode table follows the glyphs.
static const std::uint32_t psf2_table = 0x01;

// In a PSF1 table a glyph's entry ends with 0xFFFF, and 0xFFFE starts the
// sequences of several code points that the glyph also draws; PSF2 uses the
// bytes 0xFF and 0xFE, which never occur in UTF-8, the same way.
static const std::uint32_t psf1_end = 0xFFFF, psf1_sequences = 0xFFFE;
static const std::uint8_t psf2_end = 0xFF, psf2_sequences = 0xFE;

// The most glyphs a font may have to be read.  Console fonts have 256 or
// 512, Unicode ones a few thousand; each glyph takes some hundred bytes
// of memory once read, and a PSF2 header that promised millions of tiny
// glyphs, all zeros in a gzip file of a few kilobytes, took gigabytes.
static const std::uint64_t psf_max_glyphs = 65536;

static std::uint32_t little_endian_32(const std::uint8_t* p)
{
	return (std::uint32_t)p[0] | (std::uint32_t)p[1] << 8 | (std::uint32_t)p[2] << 16 |
	       (std::uint32_t)p[3] << 24;
}

static bool starts_with(const byte_buffer& data, const std::uint8_t* magic, std::size_t length)
{
	return data.size() >= length && std::memcmp(data.data(), magic, length) == 0;
}

bool is_psf(const byte_buffer& data)
{
	return starts_with(data, psf1_magic, sizeof psf1_magic) ||
	       starts_with(data, psf2_magic, sizeof psf2_magic);
}

// Reads the table's entry for one glyph from *at on, adding the single code
// points it names to the source.  Sequences are skipped: they name
// combinations such as a letter and an accent, which no slot holds.
static bool read_table_entry(const byte_buffer& data, std::size_t* at, bool psf1, unsigned glyph,
                             glyph_source* source)
{
	bool in_sequences = false;
	if (psf1) {
		for (; *at + 2 <= data.size(); *at += 2) {
			std::uint32_t value = (std::uint32_t)data[*at] | (std::uint32_t)data[*at + 1] << 8;
			if (value == psf1_end) {
				*at += 2;
				return true;
			}
			if (value == psf1_sequences)
				in_sequences = true;
			else if (!in_sequences)
				source->codes.emplace_back(value, glyph);
		}
		return false;
	}
	std::size_t start = *at;
	for (; *at < data.size(); ++*at) {
		if (data[*at] != psf2_end && data[*at] != psf2_sequences)
			continue;
		if (!in_sequences) {
			std::string text(data.begin() + (std::ptrdiff_t)start,
			                 data.begin() + (std::ptrdiff_t)*at);
			for (std::uint32_t c : decode_utf8(text))
				if (c != invalid_utf8)
					source->codes.emplace_back(c, glyph);
		}
		if (data[*at] == psf2_end) {
			++*at;
			return true;
		}
		in_sequences = true;
	}
	return false;
}

// Reads the glyphs of either version, and their Unicode table when there
// is one: width x height pixels a glyph, each row padded to whole bytes.
static bool read_psf_glyphs(const byte_buffer& data, std::uint64_t start, std::uint64_t count,
                            unsigned width, unsigned height, bool table, bool psf1,
                            glyph_source* source, std::string* error)
{
	const std::string& kind = source->kind;
	if (width == 0 || height == 0) {
		*error = format(tr("damaged %s: its glyphs are %sx%s pixels"),
		                {kind, number_text(width), number_text(height)});
		return false;
	}
	if (width > font_cell || height > font_cell) {
		*error = format(tr("%s: %s"), {kind, glyph_size_error(width, height)});
		return false;
	}
	if (count == 0) {
		*error = format(tr("%s with no glyphs"), {kind});
		return false;
	}
	unsigned row_bytes = (width + 7) / 8;
	std::uint64_t glyph_bytes = (std::uint64_t)row_bytes * height;
	std::uint64_t needed = count * glyph_bytes;
	if (data.size() < start || data.size() - start < needed) {
		std::uint64_t follow = data.size() > start ? data.size() - start : 0;
		*error = format(tr_n("truncated %s: its header promises %s glyphs of %s bytes (%s "
		                     "bytes), but only %s follow it",
		                     "truncated %s: its header promises %s glyphs of %s bytes (%s "
		                     "bytes), but only %s follow it",
		                     (unsigned long)follow),
		                {kind, number_text(count), number_text(glyph_bytes),
		                 number_text(needed), number_text(follow)});
		return false;
	}
	if (count > psf_max_glyphs) {
		*error = format(tr("%s with %s glyphs: fonts of more than %s glyphs are not read"),
		                {kind, number_text(count), number_text(psf_max_glyphs)});
		return false;
	}
	source->glyph_count = (unsigned)count;
	source->ascent = (int)height;
	source->descent = 0;
	source->glyphs.reserve((std::size_t)count);
	for (std::uint64_t g = 0; g < count; g++)
		source->glyphs.push_back(
		        cell_glyph(&data[(std::size_t)(start + g * glyph_bytes)], width, height));

	if (!table) {
		for (unsigned slot = 0; slot < count && slot < font_glyph_count; slot++)
			source->codes.emplace_back(slot, slot);
		return true;
	}
	std::size_t at = (std::size_t)(start + needed);
	for (unsigned g = 0; g < count; g++) {
		if (!read_table_entry(data, &at, psf1, g, source)) {
			*error = format(tr("truncated %s: its Unicode table ends in the entry of glyph "
			                   "%s of %s"),
			                {kind, number_text(g), number_text(count)});
			return false;
		}
	}
	source->unicode = true;
	// TRANSLATORS: where a font's characters come from, as in "placed by
	// %s" and "this PSF1 font names them in %s".
	source->character_map = tr("its Unicode table");
	return true;
}

bool read_psf(const byte_buffer& data, glyph_source* source, std::string* error)
{
	*source = glyph_source();
	if (starts_with(data, psf1_magic, sizeof psf1_magic)) {
		// TRANSLATORS: the kinds of fonts, such as this one, stand in the
		// messages as "%s, gzip-compressed", "damaged %s: ...", "truncated
		// %s: ...", "%s with no glyphs" and "and this %s names them in %s".
		source->kind = tr("PSF1 font");
		if (data.size() < 4) {
			*error = tr("truncated PSF1 font: its header is cut short");
			return false;
		}
		// PSF1 glyphs are always 8 pixels wide, as high as their byte count.
		unsigned count = (data[2] & psf1_512) ? 512 : 256;
		return read_psf_glyphs(data, 4, count, 8, data[3], (data[2] & psf1_table) != 0, true,
		                       source, error);
	}
	if (!starts_with(data, psf2_magic, sizeof psf2_magic)) {
		*error = tr("not a PSF font");
		return false;
	}
	source->kind = tr("PSF2 font");
	if (data.size() < 32) {
		*error = tr("truncated PSF2 font: its header is cut short");
		return false;
	}
	std::uint32_t version = little_endian_32(&data[4]);
	std::uint32_t header_size = little_endian_32(&data[8]);
	std::uint32_t flags = little_endian_32(&data[12]);
	std::uint32_t count = little_endian_32(&data[16]);
	std::uint32_t glyph_bytes = little_endian_32(&data[20]);
	std::uint32_t height = little_endian_32(&data[24]);
	std::uint32_t width = little_endian_32(&data[28]);
	if (version != 0) {
		*error = format(tr("PSF2 font of the unknown version %s"), {number_text(version)});
		return false;
	}
	if (header_size < 32) {
		*error = format(tr("damaged PSF2 font: its header claims to be %s bytes long, less "
		                   "than the 32 it has"),
		                {number_text(header_size)});
		return false;
	}
	std::uint64_t expected = (std::uint64_t)(width / 8 + (width % 8 != 0)) * height;
	if (expected != 0 && width <= font_cell && height <= font_cell && glyph_bytes != expected) {
		*error = format(tr("damaged PSF2 font: its %sx%s glyphs are said to take %s bytes "
		                   "each instead of %s"),
		                {number_text(width), number_text(height), number_text(glyph_bytes),
		                 number_text(expected)});
		return false;
	}
	return read_psf_glyphs(data, header_size, count, width, height, (flags & psf2_table) != 0,
	                       false, source, error);
}
