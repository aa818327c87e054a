"""Starts the real quorix-viewer --serve for the browser tests and stops it."""

import argparse
import os
import re
import signal
import sys
import subprocess
import tempfile
import time


class ViewerServer:
    """One `quorix-viewer --serve` process on a free loopback port, with its
    own settings folder and a recording stand-in for xdg-open / xdg-email, so
    a test never opens a real browser or mail program; `handed_lines()` reads
    what the stand-ins were given. Without `mail_program` the machine has no
    xdg-email at all (nor anything else but the stand-in xdg-open on PATH)."""

    def __init__(self, viewer, arguments, photos, environment=None, mail_program=True):
        self.scratch = tempfile.TemporaryDirectory(prefix='quorix-serve-')
        bin_dir = os.path.join(self.scratch.name, 'bin')
        os.mkdir(bin_dir)
        self.handed = os.path.join(self.scratch.name, 'handed.txt')
        for program in ('xdg-open', 'xdg-email') if mail_program else ('xdg-open',):
            path = os.path.join(bin_dir, program)
            with open(path, 'w') as script:
                script.write('#!/bin/sh\nprintf "%%s %%s\\n" "%s" "$*" >> "%s"\n' % (program, self.handed))
            os.chmod(path, 0o755)
        env = dict(os.environ)
        env.update({
            'PATH': bin_dir + ':' + env.get('PATH', '/usr/bin:/bin') if mail_program else bin_dir,
            'XDG_CONFIG_HOME': os.path.join(self.scratch.name, 'config'),
            # Thumbnails go to the test's own folder, never the real ~/.cache.
            'XDG_CACHE_HOME': os.path.join(self.scratch.name, 'cache'),
            'LANGUAGE': '', 'LC_ALL': 'C.UTF-8', 'LANG': 'C.UTF-8',
        })
        env.pop('QUORIX_LIBRARY_DIR', None)
        # No graphical session unless a test asks for one: the viewer then
        # leaves opening its page to the test.
        env.pop('DISPLAY', None)
        env.pop('WAYLAND_DISPLAY', None)
        env.update(environment or {})
        self.process = subprocess.Popen([viewer, '--serve', '--port', '0', *arguments, *photos],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
        line = self.process.stdout.readline()
        match = re.search(r'http://(\S+):(\d+)/(\?token=(\w+))?', line)
        if not match:
            self.process.kill()
            raise RuntimeError('the viewer printed no address: %r %r' % (line, self.process.stderr.read()))
        self.url = match.group(0)
        self.host = match.group(1)
        self.port = int(match.group(2))
        self.token = match.group(4)

    def stop(self, sig=signal.SIGINT, timeout=10):
        """Stops the viewer with `sig` as Ctrl-C would (unless it has ended
        already); returns its exit status."""
        if self.scratch is None:
            return self.process.returncode
        if self.process.poll() is None:
            self.process.send_signal(sig)
        try:
            status = self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise RuntimeError('the viewer did not stop within %d s of %s' % (timeout, sig.name))
        self.stderr = self.process.stderr.read()
        self.process.stdout.close()
        self.process.stderr.close()
        self.scratch.cleanup()
        self.scratch = None
        return status

    def handed_lines(self):
        """The stand-ins' calls so far, one "PROGRAM ARGUMENTS" line each."""
        try:
            with open(self.handed) as record:
                return record.read().splitlines()
        except FileNotFoundError:
            return []

    def memory_kb(self, field='VmRSS'):
        """The viewer's resident memory now (VmRSS) or at its peak (VmHWM), in KiB."""
        return memory_kb(self.process.pid, field)

    def __enter__(self):
        return self

    def __exit__(self, kind, *exc):
        status = self.stop()
        # A sanitizer's report or a crash while stopping fails the test too;
        # when the test failed already, the viewer's end is told beside it.
        if kind is not None and status != 0:
            sys.stderr.write('the viewer ended with status %s: %s\n' % (status, getattr(self, 'stderr', '')))
        if kind is None and status != 0:
            raise AssertionError('the viewer ended with status %s: %s' % (status, getattr(self, 'stderr', '')))


# Read by the benchmarks too (bench/), which start the viewer their own way.

def memory_kb(pid, field='VmRSS'):
    """A process's resident memory now (VmRSS) or at its peak (VmHWM), in KiB."""
    with open('/proc/%d/status' % pid) as status:
        for line in status:
            if line.startswith(field + ':'):
                return int(line.split()[1])
    raise RuntimeError('no %s for process %d' % (field, pid))


def close_waits(port):
    """The server's sockets on `port` whose client has closed the connection
    and that the server has not closed yet (CLOSE_WAIT, state 08). A machine
    without IPv6 has no table for it."""
    count = 0
    for table in ('/proc/net/tcp', '/proc/net/tcp6'):
        try:
            with open(table) as lines:
                next(lines)
                for line in lines:
                    fields = line.split()
                    if int(fields[1].rsplit(':', 1)[1], 16) == port and fields[3] == '08':
                        count += 1
        except FileNotFoundError:
            pass
    return count


def wait_until(condition, timeout=10, what='condition'):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError('timed out waiting for ' + what)


def parse_paths(*names):
    """The test's --NAME PATH options, all required, and the arguments left for unittest."""
    parser = argparse.ArgumentParser()
    for name in names:
        parser.add_argument('--' + name, required=True)
    return parser.parse_known_args()
