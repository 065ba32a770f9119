"""A tinyproxy peer for the command-line tests."""
import os
import socket
import subprocess
import time


def _free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def store_proxy_setting(config_home, port, ticked=True):
    """The Options page's proxy as the window stores it, in the settings under config_home."""
    folder = os.path.join(config_home, "Brindle")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Tolvan.reg"), "w", newline="") as f:
        f.write("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Brindle\\Tolvan\\init]\r\n"
                '%s"ProxyServer"="127.0.0.1"\r\n"ProxyPort"="%d"\r\n' % ('"Proxy"="1"\r\n' if ticked else "", port))


class Tinyproxy:
    """tinyproxy on 127.0.0.1, logging each request line it is asked to carry."""

    def __init__(self, workdir):
        self.port = _free_port()
        self.log = os.path.join(workdir, "tinyproxy.log")
        conf = os.path.join(workdir, "tinyproxy.conf")
        with open(conf, "w") as f:
            f.write('Port %d\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\nMaxClients 10\nLogLevel Connect\n'
                    'LogFile "%s"\nPidFile "%s"\n' % (self.port, self.log, os.path.join(workdir, "tinyproxy.pid")))
        self.proc = subprocess.Popen(["tinyproxy", "-d", "-c", conf], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        deadline = time.time() + 30
        while True:
            try:
                socket.create_connection(("127.0.0.1", self.port), 1).close()
                break
            except OSError:
                if time.time() > deadline or self.proc.poll() is not None:
                    raise RuntimeError("tinyproxy did not start")
                time.sleep(0.05)

    def requests(self):
        with open(self.log) as f:
            return [line.split("): ", 1)[1].strip() for line in f if "Request (file descriptor" in line]

    def stop(self):
        self.proc.terminate()
        self.proc.wait()
