"""Settings for tests that start the window program."""
import os


def store_settings_without_signup(config_home):
    """Settings under config_home that say the first start is over, so no sign-up window comes up."""
    folder = os.path.join(config_home, "Brindle")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Tolvan.reg"), "w", newline="") as f:
        f.write('Windows Registry Editor Version 5.00\r\n\r\n'
                '[HKEY_CURRENT_USER\\Software\\Brindle\\Tolvan\\init]\r\n"FirstTime"="0"\r\n')
