#!/usr/bin/env python3
"""snipforge-convert's VapourSynth fragments run by Python against a stand-in for VapourSynth
that keeps its rules: DeleteFrames refuses an empty list, duplicates and frames past the end, and
no clip has 0 frames. Each fragment must leave exactly the frames meant in its result.
Usage: vapoursynth_fragment_test.py SNIPFORGE-CONVERT"""
import os
import subprocess
import sys
import tempfile
import types


class Error(Exception):
    pass


class Clip:
    def __init__(self, frames, numbered=False):
        self.frames = list(frames)
        self.numbered = numbered
        if not self.frames:
            raise Error('a clip has at least one frame')

    @property
    def num_frames(self):
        return len(self.frames)


def delete_frames(clip, frames):
    if not frames or len(set(frames)) != len(frames):
        raise Error('DeleteFrames: empty or repeated frames')
    if any(not 0 <= frame < clip.num_frames for frame in frames):
        raise Error('DeleteFrames: a frame past the end')
    gone = set(frames)
    return Clip([f for i, f in enumerate(clip.frames) if i not in gone], clip.numbered)


vapoursynth = types.ModuleType('vapoursynth')
vapoursynth.Error = Error
vapoursynth.core = types.SimpleNamespace(
    std=types.SimpleNamespace(DeleteFrames=delete_frames),
    text=types.SimpleNamespace(FrameNum=lambda clip: Clip(clip.frames, True)))
sys.modules['vapoursynth'] = vapoursynth


def run(program, folder, list_bytes, options, length):
    path = os.path.join(folder, 'frames.txt')
    with open(path, 'wb') as file:
        file.write(list_bytes)
    subprocess.run([program, '--target', 'vapoursynth', *options, '--', path], check=True)
    with open(os.path.join(folder, 'frames.vpy'), 'rb') as file:
        source = file.read()
    names = {'clip': Clip(range(length))}
    exec(compile(source, 'frames.vpy', 'exec'), names)
    return names


def main():
    program = sys.argv[1]
    # list, options, clip length, result name, frames kept ('error' when every frame is cut)
    cases = [
        (b'10\n11\n12\n40\n', ['--offset-before', '2', '--offset-after', '3', '--min-length', '5'],
         60, 'clip', list(range(0, 8)) + list(range(16, 38)) + list(range(44, 60))),
        (b'3\n49\n', ['--append-before-good', 'Good='], 50, 'Good',
         [0, 1, 2] + list(range(4, 49))),
        (b'45\n59\n', ['--offset-after', '2'], 50, 'clip', list(range(0, 45)) + [48, 49]),
        (b'5-2000000000\n', ['--format', 'auto'], 100, 'clip', [0, 1, 2, 3, 4]),
        (b'0-9\n', ['--format', 'auto'], 10, 'clip', 'error'),
        (b'\xff\xfe' + 'clip \u00e9\n7\n'.encode('utf-16-le'), ['--include-text', '--frame-number'],
         9, 'clip', [0, 1, 2, 3, 4, 5, 6, 8]),
        (b'bad \xff\x00 byte\n7\n', ['--include-text', '--append-before-good', 'global Cut = '], 9,
         'Cut', [0, 1, 2, 3, 4, 5, 6, 8]),
    ]
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        for list_bytes, options, length, name, kept in cases:
            try:
                names = run(program, folder, list_bytes, options, length)
                got = names[name].frames
            except Error:
                got = 'error'
            if got != kept:
                failures += 1
                print(f'{list_bytes!r} {options}: kept {got}, meant {kept}')
            elif '--frame-number' in options and not names[name].numbered:
                failures += 1
                print(f'{list_bytes!r}: no frame numbers shown')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
