#!/usr/bin/env python3
"""Tests of how the sound generator reads its script and lays sentences out in time.

Only the pure parts are exercised (no synthesiser is needed): the script must cover every clip,
the instruction must ask for the bell just before the program blinks it, and the fitting of
sentences into a clip must keep pauses calm and never overrun the time available.
"""

import os
import re
import sys
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools", "assets"))
import speech  # noqa: E402

BELL_BLINK_SECONDS = 22.7


class ScriptTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.script = speech.read_script(os.path.join(ROOT, "tools", "assets", "speech_ru.txt"))

    def test_every_clip_has_words_and_a_table_row(self):
        self.assertEqual(set(self.script), set(speech.CLIPS))
        for name, segments in self.script.items():
            with self.subTest(name):
                self.assertTrue(any(sentences for _, sentences in segments))

    def test_instruction_asks_for_the_bell_just_before_it_blinks(self):
        segments = self.script["rc/137"]
        pinned = [(start, sentences) for start, sentences in segments if start is not None]
        self.assertEqual(len(pinned), 1)
        start, sentences = pinned[0]
        self.assertIn("колокольчик", " ".join(sentences))
        self.assertTrue(BELL_BLINK_SECONDS - 0.6 <= start <= BELL_BLINK_SECONDS, start)
        self.assertLess(start, speech.CLIPS["rc/137"][0])

    def test_each_line_is_one_sentence_so_each_gets_its_pause(self):
        for name, segments in self.script.items():
            for _, sentences in segments:
                for text in sentences:
                    with self.subTest(name, text=text):
                        self.assertEqual(len(re.findall(r"[.!?…]+(?=\s|$)", text)), 1)

    def test_a_pinned_sentence_comes_after_a_calm_pause(self):
        for name, segments in self.script.items():
            length = speech.CLIPS[name][0]
            starts = [s if s is not None else speech.LEAD for s, _ in segments]
            for i in range(len(segments) - 1):
                with self.subTest(name, segment=i):
                    _, end = speech.segment_span(starts, i, length, speech.TAIL)
                    self.assertGreaterEqual(starts[i + 1] - end, speech.GAP_MIN - 1e-9)

    def test_praise_sounds_keep_their_rates_and_stereo(self):
        expected = {"bravo": 44100, "gotovo": 11025, "molodec": 44100, "otlichno": 44100, "ura": 22050}
        for word, rate in expected.items():
            length, clip_rate, channels, _ = speech.CLIPS["named/%s_sound" % word]
            self.assertEqual((clip_rate, channels), (rate, 2), word)

    def test_parser_reads_sections_pins_and_comments(self):
        import tempfile
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False, encoding="utf-8") as f:
            f.write("# note\n[a]\nОдин.\n\n@ 2.5\nДва.\n[b]\nТри.\n")
        try:
            self.assertEqual(speech.read_script(f.name),
                             {"a": [(None, ["Один."]), (2.5, ["Два."])], "b": [(None, ["Три."])]})
        finally:
            os.unlink(f.name)


class FitTests(unittest.TestCase):
    def test_sentences_fill_the_time_with_calm_pauses(self):
        # the closing narrations, the instruction before the bell, the opening of episode 1, the end prompt
        for available, speech_s, count in ((19.05, 14.9, 5), (19.05, 12.8, 5), (21.35, 16.5, 7), (7.95, 5.7, 2),
                                           (5.15, 4.2, 2)):
            with self.subTest(available=available, speech=speech_s):
                tempo, pause = speech.fit(available, speech_s, count)
                self.assertGreaterEqual(tempo, speech.TEMPO_MIN)
                self.assertLessEqual(tempo, 1.0)
                used = speech_s / tempo + pause * (count - 1)
                self.assertLessEqual(used, available + 1e-6)
                self.assertGreaterEqual(pause, speech.GAP_MIN - 1e-6)

    def test_too_much_speech_is_quickened_rather_than_cut(self):
        tempo, pause = speech.fit(10.0, 11.0, 3)
        self.assertAlmostEqual(11.0 / tempo + 2 * pause, 10.0, places=6)
        self.assertGreater(tempo, 1.0)
        tempo, _ = speech.fit(1.5, 1.8, 1)
        self.assertAlmostEqual(1.8 / tempo, 1.5, places=6)

    def test_a_short_word_in_a_long_clip_is_spoken_calmly_not_stretched(self):
        tempo, pause = speech.fit(1.6, 0.5, 1)
        self.assertEqual((tempo, pause), (speech.CALM_TEMPO, 0.0))
        self.assertEqual(speech.fit(3.0, 0.0, 0), (1.0, 0.0))


if __name__ == "__main__":
    unittest.main()
