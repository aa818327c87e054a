"""Starts the real quorix-viewer --serve for the browser tests and stops it."""

import os
import re
import signal
import subprocess
import tempfile
import time


class ViewerServer:
    """One `quorix-viewer --serve` process on a free loopback port, with its
    own settings folder and a recording stand-in for xdg-open / xdg-email, so
    a test never opens a real browser or mail program. Without
    `mail_program` the machine has no xdg-email at all (nor anything else
    but the stand-in xdg-open on PATH)."""

    def __init__(self, viewer, arguments, photos, mail_program=True):
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
            'LANGUAGE': '', 'LC_ALL': 'C.UTF-8', 'LANG': 'C.UTF-8',
        })
        env.pop('QUORIX_LIBRARY_DIR', None)
        self.process = subprocess.Popen([viewer, '--serve', '--port', '0', *arguments, *photos],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
        line = self.process.stdout.readline()
        match = re.search(r'http://127\.0\.0\.1:(\d+)/', line)
        if not match:
            self.process.kill()
            raise RuntimeError('the viewer printed no address: %r %r' % (line, self.process.stderr.read()))
        self.url = match.group(0)
        self.port = int(match.group(1))

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

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def wait_until(condition, timeout=10, what='condition'):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError('timed out waiting for ' + what)
