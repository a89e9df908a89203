// The checks the fuzzers run on each input, shared with the corpus replay test. Each returns
// an empty string when the input passes, else what went wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// The list-directed reader and the (A40) line read on arbitrary bytes, with the item lists the
// program uses: the four header texts, then samples of four doubles until the end; one console
// double; console lines. Every outcome must be a value, the end of the input or one of the
// reader's errors, and reading the bytes one at a time must give exactly what reading them
// from memory gives.
std::string check_list_input(const std::uint8_t* data, std::size_t size);

// The field formatters on the double whose bits are the first eight bytes, against a slow
// reference built on snprintf.
std::string check_fields(const std::uint8_t* data, std::size_t size);

// sdofspec's record reader (both layouts, told apart by content) on arbitrary bytes: a record
// read has two samples or more, a positive interval and finite values; a failure names a line
// of the text; reading a table in two halves at once gives exactly the same; and a component
// read (of values within 1e300 cm/s2), written as an AT2 file and read back, has the same
// count and interval and its values to 9 digits.
std::string check_records(const std::uint8_t* data, std::size_t size);

// The fixed-width readers (COSMOS, CSMIP/DMG, SMC) on arbitrary bytes, each whatever its
// recogniser says, with the default bound of samples and a small one: a component read has two
// samples or more (no more than the bound), a positive interval and finite values, a first
// sample on a line of the text; a failure or a warning names a line of the text. The first line
// is also parsed as a format line and, where it is one, the second line read by it.
std::string check_records_fixed(const std::uint8_t* data, std::size_t size);

// The decimal scanner of the text readers from every position of arbitrary bytes, against the
// plain scanner it replaced: the same end and the same bits. The first line also as a format
// and the rest read by read_values: what reading line by line reads, or a failure at its line.
std::string check_decimals(const std::uint8_t* data, std::size_t size);

// sdofspec's and sdofplot's option values and path lists on arbitrary text: periods positive and
// finite, damping ratios in [0, 1), a tolerance in (0, 0.01], Fourier grids of positive, finite,
// rising frequencies, a Konno-Ohmachi bandwidth in (0, 1000], paths without line ends or edge
// blanks, or an error that says so.
// Also the inelastic spectra's: ductilities and strength ratios of 1 or more and finite, alpha
// from 0 up to (not) 1, or an error and no values.
std::string check_options(const std::uint8_t* data, std::size_t size);

// sdofplot's reader of sdofresp's files on arbitrary bytes: a table read has columns of one
// length, as many as its kind has, values finite or gaps, and the gaps counted; a failure
// names a line of the text.
std::string check_outputs(const std::uint8_t* data, std::size_t size);

// The processing on arbitrary steps and samples: the first bytes give the order, the steps asked
// and their values (corners up to past the Nyquist frequency, tapers and pre-event times up to
// past the record), the rest the samples (16-bit integers). check() refuses with a usage or
// bad-record failure, or process() gives finite values, the record with its pads, the pads as
// many at each end as 0.75 n / fc asks; and the filters forward and backward, in blocks, agree
// with the plain pass.
std::string check_processing(const std::uint8_t* data, std::size_t size);

// The readers of seismological formats (K-NET/KiK-net, ESM, SAC binary and text, miniSEED),
// each on arbitrary bytes with several sets of options: a record read has components of two
// samples or more (at most the bound), a positive interval, finite values and a channel name;
// a failure names a line of the text or a byte of the binary data; a SAC file read in one byte
// order reads the same in the other.
std::string check_records_seismo(const std::uint8_t* data, std::size_t size);

// The reader of the suite's tables (tables/columns.h) on arbitrary bytes: a table read has
// columns of one length, its numbers finite or empty; a failure names a line of the text and
// leaves no columns; a table read, written and read again gives the same values and the same
// text when written again.
std::string check_tables(const std::uint8_t* data, std::size_t size);

// The peaks over continuous time on arbitrary samples, dampings and periods (from an eighth of
// the interval to 256 intervals): the bounded kernels, of components and of a pair's angles,
// find what their definitions (which look inside every step) find, to the bit, and never less
// than the peaks at the samples.
std::string check_continuous(const std::uint8_t* data, std::size_t size);

// The pair kernel (RotD at the samples) on arbitrary samples, dampings and periods (an eighth of
// the interval to 256 intervals, with their sub-steps), over several windows and with a quiet end
// when asked: the peaks at every angle of Sd, Sv and Sa equal to the bit those of its scalar twin
// (every angle at every point), and each component's peaks those of the batch kernel.
std::string check_pair(const std::uint8_t* data, std::size_t size);

}  // namespace fuzz
