#!/usr/bin/env python3
"""Tests of the media checker's parsers on small files built here in memory."""

import os
import struct
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_media as cm  # noqa: E402


def png(width, height, colour, pixel=None, filter_type=0):
    bpp = 3 if colour == cm.RGB else 4
    pixel = pixel or bytes(bpp)
    row = bytes([filter_type]) + pixel * width if filter_type == 0 else \
        bytes([filter_type]) + pixel + bytes(bpp * (width - 1))  # "Sub": repeat the first pixel
    raw = row * height

    def chunk(ctype, payload):
        return struct.pack(">I", len(payload)) + ctype + payload + \
            struct.pack(">I", zlib.crc32(ctype + payload) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, colour, 0, 0, 0)
    return cm.PNG_SIGNATURE + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def ogg_page(serial, seq, flags, granule, packets):
    lacing, body = bytearray(), bytearray()
    for packet in packets:
        n = len(packet)
        lacing += b"\xff" * (n // 255) + bytes([n % 255])
        body += packet
    header = bytearray(b"OggS" + struct.pack("<BBqIIIB", 0, flags, granule, serial, seq, 0, len(lacing)))
    page = header + lacing + body
    page[22:26] = struct.pack("<I", cm.ogg_crc(page))
    return bytes(page)


def vorbis_file(channels, rate, last_granule):
    ident = b"\x01vorbis" + struct.pack("<IBIiii", 0, channels, rate, 0, 128000, 0) + b"\xb8\x01"
    return (ogg_page(7, 0, 2, 0, [ident]) +
            ogg_page(7, 1, 0, -1, [b"\x03vorbis" + b"x" * 300]) +
            ogg_page(7, 2, 4, last_granule, [b"audio"]))


def theora_file(width, height, fps, last_frame, shift=6, vrev=1, pixel_format=0, keyframe=None):
    ident = bytearray(b"\x80theora" + bytes([3, 2, vrev]))
    ident += struct.pack(">HH", (width + 15) // 16, (height + 15) // 16)
    ident += width.to_bytes(3, "big") + height.to_bytes(3, "big") + b"\0\0"
    ident += struct.pack(">II", fps, 1) + (1).to_bytes(3, "big") + (1).to_bytes(3, "big")
    ident += b"\0" + (0).to_bytes(3, "big")
    ident += ((48 << 10) | (shift << 5) | (pixel_format << 3)).to_bytes(2, "big")
    keyframe = last_frame if keyframe is None else keyframe
    granule = (keyframe << shift) | (last_frame - keyframe)
    return ogg_page(9, 0, 2, 0, [bytes(ident)]) + ogg_page(9, 1, 4, granule, [b"frames"])


class PngTests(unittest.TestCase):
    def test_reads_size_and_colour_type(self):
        self.assertEqual(cm.png_header(png(5, 3, cm.RGBA))[:4], (5, 3, 8, cm.RGBA))
        self.assertEqual(cm.check_picture(png(5, 3, cm.RGB), 5, 3, cm.RGB), [])
        problems = cm.check_picture(png(5, 4, cm.RGB), 5, 3, cm.RGBA)
        self.assertTrue(any("size 5x4" in p for p in problems))
        self.assertTrue(any("expected 8-bit RGBA" in p for p in problems))

    def test_damaged_files_are_reported_not_crashed_on(self):
        good = png(4, 4, cm.RGBA)
        damaged = {
            "truncated": good[:len(good) - 20],
            "cut in the signature": good[:5],
            "bad crc": good[:20] + bytes([good[20] ^ 1]) + good[21:],
            "not png": b"GIF89a" + good[6:],
            "empty": b"",
        }
        for what, data in damaged.items():
            with self.subTest(what):
                with self.assertRaises(cm.MediaError):
                    cm.check_picture(data, 4, 4, cm.RGBA)

    def test_pixel_checks_see_alpha_through_row_filters(self):
        opaque = png(6, 6, cm.RGBA, bytes([10, 20, 30, 255]), filter_type=1)
        self.assertEqual(cm.check_pixels(opaque, ("centre_opaque",)), [])
        self.assertEqual(cm.check_pixels(opaque, ("corners_clear",)), ["corners are not transparent"])
        clear = png(1, 1, cm.RGBA, bytes(4))
        self.assertEqual(cm.check_pixels(clear, ("all_clear", "corners_clear")), [])

    def test_pngsuite_corrupt_files_raise_only_media_errors(self):
        suite = os.path.join(os.path.dirname(__file__), "..", "..", "..", "shared", "testdata", "pngsuite")
        if not os.path.isdir(suite):
            self.skipTest("PngSuite not found beside the project")
        for name in sorted(os.listdir(suite)):
            if not name.endswith(".png"):
                continue
            with open(os.path.join(suite, name), "rb") as f:
                data = f.read()
            with self.subTest(name):
                try:
                    cm.check_picture(data, 32, 32, cm.RGBA, ("corners_clear",))
                except cm.MediaError:
                    pass


def png_from_rows(rows, colour):
    """A PNG of the given rows of pixel bytes, no filtering."""
    bpp = 3 if colour == cm.RGB else 4
    width, height = len(rows[0]) // bpp, len(rows)

    def chunk(ctype, payload):
        return struct.pack(">I", len(payload)) + ctype + payload + \
            struct.pack(">I", zlib.crc32(ctype + payload) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + bytes(r) for r in rows)
    ihdr = struct.pack(">IIBBBBB", width, height, 8, colour, 0, 0, 0)
    return cm.PNG_SIGNATURE + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def card_with_caption(baseline, descender=True):
    """A white 156 x 179 card with a dark 'word' standing on the baseline, one letter reaching below."""
    rows = [bytearray(b"\xff" * 156 * 3) for _ in range(179)]
    for y in range(baseline - 12, baseline + 1):
        for x in range(40, 116):
            if x % 10 < 7:
                rows[y][x * 3:x * 3 + 3] = b"\x30\x20\x10"
    if descender:
        for y in range(baseline + 1, baseline + 5):
            for x in range(60, 66):
                rows[y][x * 3:x * 3 + 3] = b"\x30\x20\x10"
    return png_from_rows(rows, cm.RGB)


class PictureContentTests(unittest.TestCase):
    def test_a_cloud_touching_any_edge_is_cut_off(self):
        clear = [bytearray(8 * 4) for _ in range(6)]
        self.assertEqual(cm.check_pixels(png_from_rows(clear, cm.RGBA), ("edges_clear",)), [])
        for x, y in ((3, 0), (7, 2), (0, 5), (4, 5)):
            rows = [bytearray(8 * 4) for _ in range(6)]
            rows[y][x * 4 + 3] = 40  # even a faint shadow pixel counts
            with self.subTest(x=x, y=y):
                self.assertEqual(len(cm.check_pixels(png_from_rows(rows, cm.RGBA), ("edges_clear",))), 1)

    def test_caption_baseline_ignores_descenders(self):
        self.assertEqual(cm.caption_baseline(card_with_caption(166)), 166)
        self.assertEqual(cm.caption_baseline(card_with_caption(166, descender=False)), 166)
        blank = png_from_rows([bytearray(b"\xff" * 156 * 3) for _ in range(179)], cm.RGB)
        self.assertIsNone(cm.caption_baseline(blank))

    def test_a_card_whose_name_sits_higher_is_named(self):
        with tempfile.TemporaryDirectory() as folder:
            os.makedirs(os.path.join(folder, "rc"))
            for number, baseline in ((102, 166), (103, 167), (104, 166), (105, 163)):
                with open(os.path.join(folder, "rc", "%d.png" % number), "wb") as f:
                    f.write(card_with_caption(baseline, descender=number % 2 == 0))
            failures = cm.check_captions(folder)
        self.assertEqual(len(failures), 1)
        self.assertTrue(failures[0].startswith("rc/105.png"), failures)


class DecodedTests(unittest.TestCase):
    def test_pauses_between_speech_not_around_it(self):
        rate = 1000
        tone = [8000 if i % 2 else -8000 for i in range(rate)]
        quiet = [0] * rate
        samples = quiet[:300] + tone + quiet[:800] + tone[:500] + quiet[:300] + tone[:400] + quiet
        self.assertEqual([round(p, 2) for p in cm.pauses(samples, rate)], [0.8, 0.3])
        self.assertEqual(cm.pauses(quiet, rate), [])
        self.assertEqual(cm.pauses(tone, rate), [])

    def test_sentences_are_counted_per_clip_without_pins_two_on_a_line_too(self):
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False, encoding="utf-8") as f:
            f.write("# note\n[rc/137]\nОдин.\nДва, три.\n@ 22.4\nЧетыре! Пять?\n\n[rc/146]\nМолодец!\n")
        try:
            self.assertEqual(cm.sentence_counts(f.name), {"rc/137": 4, "rc/146": 1})
        finally:
            os.unlink(f.name)

    def test_face_aspect_tells_a_circle_from_a_squashed_one(self):
        def frame(rx, ry, cx=160, cy=60):
            out = bytearray(b"\x80\xc0\xff" * 320 * 200)
            for y in range(200):
                for x in range(320):
                    d = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2
                    if d <= 1:
                        out[(y * 320 + x) * 3:(y * 320 + x) * 3 + 3] = b"\xff\xd8\x4a" if d < 0.9 else b"\xe0\x8a\x00"
            return bytes(out)
        self.assertAlmostEqual(cm.face_aspect(frame(40, 40), 160, 60), 1.0, delta=0.03)
        self.assertAlmostEqual(cm.face_aspect(frame(40, 40 / 1.2), 160, 60), 1.2, delta=0.04)
        self.assertIsNone(cm.face_aspect(frame(40, 40), 20, 180))


class OggTests(unittest.TestCase):
    def test_vorbis_channels_rate_and_duration(self):
        self.assertEqual(cm.vorbis_info(vorbis_file(2, 11025, 22050)), (2, 11025, 2.0))
        self.assertEqual(cm.check_sound(vorbis_file(2, 44100, 88200), 2, 44100, 1.5, 2.5), [])
        problems = cm.check_sound(vorbis_file(1, 22050, 22050 * 3), 2, 44100, 1.5, 2.5)
        self.assertEqual(len(problems), 3)

    def test_damaged_ogg_is_reported_not_crashed_on(self):
        good = vorbis_file(1, 22050, 22050)
        first_page_end = good.index(b"OggS", 4)
        damaged = {
            "flipped body byte": good[:40] + bytes([good[40] ^ 0x55]) + good[41:],
            "truncated last page": good[:-3],
            "no end of stream": good[:good.rindex(b"OggS")],
            "garbage between pages": good[:first_page_end] + b"junk" + good[first_page_end:],
            "not ogg": b"RIFF" + good[4:],
            "empty": b"",
            "theora, not vorbis": theora_file(320, 240, 12, 26),
        }
        for what, data in damaged.items():
            with self.subTest(what):
                with self.assertRaises(cm.MediaError):
                    cm.vorbis_info(data)

    def test_interleaved_second_stream_does_not_disturb_the_first(self):
        ident = b"\x01vorbis" + struct.pack("<IBIiii", 0, 1, 8000, 0, 0, 0) + b"\xb8\x01"
        data = (ogg_page(1, 0, 2, 0, [ident]) + ogg_page(2, 0, 2, 0, [b"\x80theora"]) +
                ogg_page(2, 1, 4, 999999, [b"x"]) + ogg_page(1, 1, 4, 16000, [b"y"]))
        self.assertEqual(cm.vorbis_info(data), (1, 8000, 2.0))

    def test_theora_frames_from_granule_with_keyframe_shift(self):
        self.assertEqual(cm.theora_info(theora_file(320, 240, 12, 26)), (320, 240, 0, 12.0, 26))
        # Last keyframe at frame 20, six frames after it: still 26 frames.
        self.assertEqual(cm.theora_info(theora_file(320, 240, 12, 26, keyframe=20))[4], 26)
        # The old 3.2.0 streams count granules from zero.
        self.assertEqual(cm.theora_info(theora_file(320, 240, 12, 25, vrev=0))[4], 26)
        problems = cm.check_film(theora_file(352, 288, 25, 30, pixel_format=2), 320, 240, 12, 26)
        self.assertEqual(len(problems), 4)


class FolderTests(unittest.TestCase):
    def test_every_missing_file_is_named_and_main_fails(self):
        with tempfile.TemporaryDirectory() as folder:
            failures = cm.check_folder(folder)
            expected = len(cm.PICTURES) + len(cm.SOUNDS) + len(cm.FILMS)
            self.assertEqual(len(failures), expected)
            self.assertIn("skin/SaveAsButtonKlick.png: missing", failures)
            self.assertEqual(len({f.split(":")[0] for f in failures}), expected)
            with open(os.devnull, "w") as quiet:
                old, sys.stderr = sys.stderr, quiet
                try:
                    self.assertEqual(cm.main(["check_media.py", folder]), 1)
                finally:
                    sys.stderr = old

    def test_tables_hold_the_expected_sets(self):
        self.assertEqual(len([p for p in cm.PICTURES if p[0].startswith("skin/")]), 57)
        numbers = sorted(int(p[0][3:-4]) for p in cm.PICTURES if p[0].startswith("rc/"))
        self.assertEqual(numbers, list(range(101, 137)) + [500])
        self.assertEqual(sorted(int(s[0][3:-4]) for s in cm.SOUNDS if s[0].startswith("rc/")),
                         [137, 139, 140, 141, 142, 143, 145, 146, 147, 148])


if __name__ == "__main__":
    unittest.main()
