#!/usr/bin/env python3
"""A tracking server written from docs/layout.md alone, with none of Lumivex's
code: it creates the channels of one instrument, writes known poses and
descriptions with the liveness fields, and keeps rewriting them until SIGINT
or SIGTERM, when it removes its objects.

Station k of bin b is at (10 b + k + 0.5, -0.25 k, 2 + k) with the angles
(0.5, -0.25, 0.125 k); the description of bin b is "<description> <b>".
Prints "ready" once every channel is published.
"""
import argparse
import ctypes
import ctypes.util
import errno
import mmap
import os
import signal
import struct
import time

DIGITS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
REGION_SIZE = 4096
DESCRIPTION_OFFSET = 1317
READY_MARK = 0x4C565831
MUTEX_OFFSET = 8
MUTEX_OBJECT_SIZE = MUTEX_OFFSET + 64  # room for any 64-bit glibc pthread_mutex_t
PTHREAD_PROCESS_SHARED = 1
PTHREAD_MUTEX_ROBUST = 1
PTHREAD_MUTEX_ERRORCHECK = 2
MODE = 0o600

libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
# shm_open moved from librt into libc with glibc 2.34.
shm = libc if hasattr(libc, "shm_open") else ctypes.CDLL(ctypes.util.find_library("rt"), use_errno=True)
shm.shm_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.c_uint]
shm.shm_unlink.argtypes = [ctypes.c_char_p]


def object_name(base, instrument, channel):
    return "/" + os.environ.get("LUMIVEX_SHM_PREFIX", "") + base + DIGITS[instrument] + DIGITS[channel]


def check(result, what):
    if result != 0:
        raise OSError(result, what + ": " + os.strerror(result))


def create_object(name, size):
    fd = shm.shm_open(name.encode(), os.O_RDWR | os.O_CREAT | os.O_EXCL, MODE)
    if fd < 0:
        number = ctypes.get_errno()
        raise OSError(number, name + ": " + os.strerror(number))
    os.fchmod(fd, MODE)
    os.ftruncate(fd, size)
    view = mmap.mmap(fd, size)
    os.close(fd)
    return view


class Channel:
    def __init__(self, instrument, bin_number, flags, description):
        self.names = [object_name("QuillmontShMem", instrument, bin_number),
                      object_name("QuillmontMutex", instrument, bin_number)]
        self.bin = bin_number
        self.flags = flags
        self.description = (description + " " + str(bin_number)).encode()
        self.writes = 0
        self.region = create_object(self.names[0], REGION_SIZE)
        self.write()  # the first content is in place before the mutex exists
        self.mutex_object = create_object(self.names[1], MUTEX_OBJECT_SIZE)
        self.mutex = ctypes.c_char.from_buffer(self.mutex_object, MUTEX_OFFSET)
        self.initialise_mutex()

    def initialise_mutex(self):
        attributes = ctypes.create_string_buffer(64)
        check(libc.pthread_mutexattr_init(attributes), "pthread_mutexattr_init")
        check(libc.pthread_mutexattr_setpshared(attributes, PTHREAD_PROCESS_SHARED), "setpshared")
        check(libc.pthread_mutexattr_setrobust(attributes, PTHREAD_MUTEX_ROBUST), "setrobust")
        check(libc.pthread_mutexattr_settype(attributes, PTHREAD_MUTEX_ERRORCHECK), "settype")
        check(libc.pthread_mutex_init(ctypes.byref(self.mutex), attributes), "pthread_mutex_init")
        check(libc.pthread_mutexattr_destroy(attributes), "pthread_mutexattr_destroy")
        struct.pack_into("<I", self.mutex_object, 0, READY_MARK)  # last: now readers may use it

    def write(self):
        self.writes = (self.writes + 1) & 0xFFFFFFFF
        stamp = (time.monotonic_ns() // 1000) & 0xFFFFFFFF
        struct.pack_into("<III", self.region, 0, self.writes, self.flags, stamp)
        for k in range(32):
            pose = (10 * self.bin + k + 0.5, -0.25 * k, 2.0 + k, 0.5, -0.25, 0.125 * k)
            struct.pack_into("<6f", self.region, 12 + 24 * k, *pose)
        text = self.description + b"\0"
        self.region[DESCRIPTION_OFFSET:DESCRIPTION_OFFSET + len(text)] = text

    def publish(self):
        result = libc.pthread_mutex_lock(ctypes.byref(self.mutex))
        if result not in (0, errno.EOWNERDEAD):
            return
        self.write()  # rewrites everything, which also repairs what a dead holder left
        if result == errno.EOWNERDEAD:
            check(libc.pthread_mutex_consistent(ctypes.byref(self.mutex)), "pthread_mutex_consistent")
        check(libc.pthread_mutex_unlock(ctypes.byref(self.mutex)), "pthread_mutex_unlock")

    def remove(self):
        for name in self.names:
            shm.shm_unlink(name.encode())


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--instrument", type=int, default=0)
    parser.add_argument("--bins", default="0,1")
    parser.add_argument("--flags", type=lambda text: int(text, 16), default=0x21F)
    parser.add_argument("--description", default="Layout server")
    parser.add_argument("--rate", type=float, default=50.0)
    options = parser.parse_args()

    stop = []
    for number in (signal.SIGINT, signal.SIGTERM):
        signal.signal(number, lambda *_: stop.append(True))
    channels = []
    try:
        for bin_number in (int(item) for item in options.bins.split(",")):
            channels.append(Channel(options.instrument, bin_number, options.flags, options.description))
        print("ready", flush=True)
        while not stop:
            for channel in channels:
                channel.publish()
            time.sleep(1.0 / options.rate)
    finally:
        for channel in channels:
            channel.remove()


if __name__ == "__main__":
    main()
