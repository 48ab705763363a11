"""The served page in a real browser: Debian's chromium, headless, driven by Debian's selenium.

Starts `nelk-host serve` on the demo, sees both panels show "Camera 1", types a command and
changes a slot and sees the panels follow (and measures how soon), loads the example AlarmPanel
and clicks its group buttons, saves the session and replays it green with `nelk-host run`, sees
a broken component's protocol error in red, and a hanging component named on the page while the
session comes back. Screenshots go to the folder given.

usage: serve_page_test.py NELK_HOST CORVANE ALARM_PANEL BROKEN_COMPONENT HANGING_COMPONENT SCREENSHOT_DIR
"""
import atexit
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

NELK_HOST, CORVANE, ALARM_PANEL, BROKEN, HANGING, SHOTS = sys.argv[1:7]
os.makedirs(SHOTS, exist_ok=True)
# The browser's profile and downloads live in one temporary folder, removed however the test ends.
SCRATCH = tempfile.mkdtemp(prefix="nelk-browser-")
atexit.register(shutil.rmtree, SCRATCH, True)
DOWNLOADS = os.path.join(SCRATCH, "downloads")
os.makedirs(DOWNLOADS)


def start_server():
    server = subprocess.Popen([NELK_HOST, "--no-colour", "--library", CORVANE, "serve", "--port", "0", "--timeout", "1"],
                              stdout=subprocess.PIPE, text=True)
    deadline = time.time() + 30
    while time.time() < deadline:
        line = server.stdout.readline()
        if line.startswith("serving http://"):
            return server, line.split()[1]
        if not line and server.poll() is not None:
            break
    server.kill()
    raise SystemExit("nelk-host serve did not say where it serves")


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--disable-quic",
                 "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--window-size=1400,1300", "--user-data-dir=" + tempfile.mkdtemp(prefix="chromium-", dir=SCRATCH)):
        options.add_argument(flag)
    options.add_experimental_option("prefs", {"download.default_directory": DOWNLOADS,
                                              "download.prompt_for_download": False})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def text_of(driver, instance, control):
    # Read in one step in the page: the panels are drawn anew at every change.
    return driver.execute_script(
        "const e = document.querySelector(`[data-instance=\"${arguments[0]}\"][data-control-id=\"${arguments[1]}\"]`);"
        "return e ? e.textContent : null;", instance, control)


def wait_for(driver, what, condition, seconds=10):
    try:
        return WebDriverWait(driver, seconds, poll_frequency=0.02,
                             ignored_exceptions=[StaleElementReferenceException, NoSuchElementException]).until(condition)
    except Exception:
        driver.save_screenshot(os.path.join(SHOTS, "failed.png"))
        raise SystemExit("the page never showed " + what)


def card(driver, name):
    return driver.find_element(By.CSS_SELECTOR, f'article.instance[data-instance="{name}"]')


def run_statement(driver, statement):
    box = driver.find_element(By.ID, "statement")
    box.clear()
    box.send_keys(statement, Keys.ENTER)


def main():
    server, url = start_server()
    driver = browser()
    try:
        driver.get(url)
        wait_for(driver, 'both panels with "Camera 1"',
                 lambda d: text_of(d, "A", "umdText") == "Camera 1" and text_of(d, "B", "umdText") == "Camera 1")
        wait_for(driver, "the live stream", lambda d: d.find_element(By.ID, "status").get_attribute("data-state") == "live")
        # Ready: the first state drawn and the stream caught up with it; the demo's last line is in.
        wait_for(driver, "the page's ready mark", lambda d: d.find_element(By.TAG_NAME, "html").get_attribute("data-ready") == "true")
        assert "umdText.text shows" in driver.find_element(By.ID, "transcript").text
        driver.save_screenshot(os.path.join(SHOTS, "demo.png"))

        # A command typed into A's command box: A writes the slot, both panels follow.
        command = card(driver, "A").find_element(By.CSS_SELECTOR, ".command-form input")
        command.send_keys("text=Camera 3", Keys.ENTER)
        wait_for(driver, 'both panels with "Camera 3"',
                 lambda d: text_of(d, "A", "umdText") == "Camera 3" and text_of(d, "B", "umdText") == "Camera 3")
        wait_for(driver, "the command's answer", lambda d: "null" in card(d, "A").find_element(By.CSS_SELECTOR, ".answer").text)

        # A host-side change of the slot, from A's slot editor (driver and slot filled in).
        slot = card(driver, "A").find_element(By.CSS_SELECTOR, ".slot-form")
        assert slot.find_element(By.NAME, "driver").get_attribute("value") == "12"
        slot.find_element(By.NAME, "text").send_keys("Camera 4", Keys.ENTER)
        wait_for(driver, 'both panels with "Camera 4"',
                 lambda d: text_of(d, "A", "umdText") == "Camera 4" and text_of(d, "B", "umdText") == "Camera 4")

        # How soon the page follows a statement: posted by the page, until the label shows it.
        latencies = []
        for round in range(10):
            latencies.append(driver.execute_async_script("""
                const done = arguments[arguments.length - 1];
                const wanted = 'Camera timing ' + arguments[0];
                const started = performance.now();
                // With the token the page keeps for its own origin, as the page's requests carry it.
                fetch('/api/statements', {method: 'POST', body: 'slot 12 7 "' + wanted + '"',
                                          headers: {'X-Nelk-Token': sessionStorage.getItem('nelk-token')}});
                (function look() {
                  const label = document.querySelector('[data-instance="B"][data-control-id="umdText"]');
                  if (label && label.textContent === wanted) done(performance.now() - started);
                  else requestAnimationFrame(look);
                })();""", round))
        latencies.sort()
        print(f"statement to page update: median {latencies[len(latencies) // 2]:.1f} ms, "
              f"slowest {latencies[-1]:.1f} ms over {len(latencies)} statements")
        # A measurement, not a verdict: only a page that does not follow at all fails here.
        assert latencies[-1] < 5000, latencies

        # Save as scenario: the download replays green with nelk-host run.
        driver.find_element(By.ID, "save").click()
        saved = os.path.join(DOWNLOADS, "session.nelk")
        deadline = time.time() + 10
        while not os.path.exists(saved) and time.time() < deadline:
            time.sleep(0.05)
        assert os.path.exists(saved), "the scenario was not downloaded"
        replay = subprocess.run([NELK_HOST, "--quiet", "--no-colour", "run", saved], capture_output=True, text=True)
        assert replay.returncode == 0, replay.stdout + replay.stderr
        print("the saved scenario replays green")

        # The example AlarmPanel: its group buttons change every alarm control.
        run_statement(driver, f'load P "{ALARM_PANEL}"')
        wait_for(driver, "the alarm panel", lambda d: text_of(d, "P", "alm_4") is not None)
        alarms = lambda d, value: d.execute_script(
            "const all = [...document.querySelectorAll('[data-instance=\"P\"].control.alarm')];"
            "return all.length === 4 && all.every(e => e.dataset.value === arguments[0]);", value)
        wait_for(driver, "alarms at rest", lambda d: alarms(d, "0"))
        driver.find_element(By.CSS_SELECTOR, '[data-instance="P"][data-control-id="ActionAll"]').click()
        wait_for(driver, "every alarm raised", lambda d: alarms(d, "1"))
        driver.find_element(By.CSS_SELECTOR, '[data-instance="P"][data-control-id="AckAll"]').click()
        wait_for(driver, "every alarm acknowledged", lambda d: alarms(d, "4"))
        driver.execute_script("arguments[0].scrollIntoView()", card(driver, "P"))
        card(driver, "P").screenshot(os.path.join(SHOTS, "alarm-panel.png"))
        driver.save_screenshot(os.path.join(SHOTS, "page.png"))

        # A broken component: its malformed line is a protocol error, shown in red with its statement.
        run_statement(driver, f'load Bad "{BROKEN}"')
        error = wait_for(driver, "the protocol error", lambda d: next(
            (e for e in d.find_elements(By.CSS_SELECTOR, "#transcript li.error") if "IR takes 3 numbers" in e.text), None))
        colour = driver.execute_script(
            "return getComputedStyle(arguments[0].querySelector('.what')).color", error)
        assert colour.startswith("rgb(248, 113, 113"), colour  # the page's red
        assert "load Bad" in error.text, error.text
        driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", error)
        driver.save_screenshot(os.path.join(SHOTS, "protocol-error.png"))
        # A component that hangs: named on the page, the session back, and "Start empty" clears it.
        run_statement(driver, f'load H "{HANGING}"')
        wait_for(driver, "the hanging component", lambda d: card(d, "H") is not None)
        run_statement(driver, "timer H 1")
        banner = wait_for(driver, "the hang named on the page", lambda d: next(
            (e for e in [d.find_element(By.ID, "recovery")] if e.is_displayed() and "the component H hung in `timer H 1`" in e.text),
            None))
        wait_for(driver, "the session back", lambda d: text_of(d, "A", "umdText") is not None and card(d, "P") is not None)
        driver.save_screenshot(os.path.join(SHOTS, "recovery.png"))
        driver.find_element(By.ID, "recover-empty").click()
        wait_for(driver, "an empty session", lambda d: not banner.is_displayed() and
                 not d.find_elements(By.CSS_SELECTOR, "article.instance"))
        print("the page showed both panels, followed a command and a slot, raised and acknowledged the alarms, "
              "showed the protocol error in red, and named a hanging component while the session came back")
    finally:
        driver.quit()
        server.send_signal(signal.SIGINT)
        status = server.wait(timeout=20)
        assert status == 0, f"nelk-host serve ended with {status} on SIGINT"


if __name__ == "__main__":
    main()
