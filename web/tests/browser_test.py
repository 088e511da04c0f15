"""The page in headless Chromium, served on 127.0.0.1 by a server started
here: both corpora's objects and a damaged one picked through the file
input; every thumbnail's RGBA the same as `qavren thumbnail -s 256` (its
SHA-256, and the canvas's alpha and opaque pixels), the damaged file marked
error in the command's words while the rest draw; dragging turns the large
view and Escape closes it; no console error; no request outside the origin.
Usage: browser_test.py WEB_BUILD NATIVE_QAVREN CORPORA [SCREENSHOT_DIR]"""
import base64
import functools
import hashlib
import http.server
import json
import os
import subprocess
import sys
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait



def expected(qavren, path, scratch):
    """The command's picture as RGBA bytes, or its words for the failure."""
    png = os.path.join(scratch, "t.png")
    run = subprocess.run([qavren, "thumbnail", "-s", "256", os.path.basename(path), png], capture_output=True,
                         text=True, cwd=os.path.dirname(path))
    if run.returncode:
        return None, run.stderr.strip().removeprefix("qavren: ")
    return subprocess.run(["convert", png, "-depth", "8", "RGBA:-"], capture_output=True, check=True).stdout, None


def serve(web):
    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass
    handler = functools.partial(Quiet, directory=web)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def browser(net_log):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for a in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--window-size=1400,1000", "--no-first-run",
              "--disable-background-networking", "--disable-component-update", "--disable-sync",
              "--disable-default-apps", "--disable-features=MediaRouter,OptimizationHints",
              "--log-net-log=" + net_log):
        options.add_argument(a)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def pick_enabled(driver):
    return driver.find_element(By.ID, "pick-files").is_enabled()


def main(web, qavren, corpora, shots):
    scratch = tempfile.mkdtemp(prefix="qavren-web-")
    files = sorted(os.path.realpath(os.path.join(corpora, d, n)) for d in ("lwo", "lwo2")
                   for n in os.listdir(os.path.join(corpora, d)) if n.lower().endswith(".lwo"))
    damaged = os.path.join(scratch, "damaged.lwo")
    with open(files[0], "rb") as whole, open(damaged, "wb") as cut:
        data = whole.read()
        cut.write(data[:200])  # its POLS chunk cut short
    files.append(damaged)
    server = serve(web)
    origin = "http://127.0.0.1:%d" % server.server_address[1]
    net_log = os.path.join(scratch, "net.json")
    driver = browser(net_log)
    failures = []
    try:
        driver.get(origin + "/index.html")
        pick = driver.find_element(By.ID, "pick-files")
        driver.execute_script("arguments[0].style.display = 'block'", pick)
        pick.send_keys("\n".join(files))
        driver.execute_script("arguments[0].style.display = ''", pick)
        WebDriverWait(driver, 400, 0.5).until(lambda d: d.execute_script(
            "return document.querySelectorAll('.tile').length === arguments[0] &&"
            " !document.querySelector('.tile[data-state=drawing]')", len(files)))
        tiles = driver.execute_script("""return Array.from(document.querySelectorAll('.tile'), t => {
            const c = t.querySelector('canvas'), m = t.querySelector('.message');
            const px = t.dataset.state === 'done' ? c.getContext('2d').getImageData(0, 0, 256, 256).data : [];
            let s = ''; for (let k = 0; k < px.length; k += 8192) s += String.fromCharCode(...px.subarray(k, k + 8192));
            return {name: t.dataset.name, state: t.dataset.state, digest: t.dataset.digest || '',
                    message: m ? m.textContent : '', pixels: btoa(s)}; })""")
        done = errors = 0
        for path, tile in zip(files, tiles):
            rgba, words = expected(qavren, path, scratch)
            name = os.path.basename(path)
            if tile["name"] != name:
                failures.append("%s: a tile named %s in its place" % (name, tile["name"]))
            elif words is not None:
                errors += 1
                if tile["state"] != "error" or tile["message"] != words:
                    failures.append("%s: %s %r, not the command's %r" % (name, tile["state"], tile["message"], words))
            elif tile["state"] != "done" or tile["digest"] != hashlib.sha256(rgba).hexdigest():
                failures.append("%s: %s, the pixels not the command's %s" % (name, tile["state"], tile["message"]))
            else:
                done += 1
                shown = base64.b64decode(tile["pixels"])
                # The canvas keeps premultiplied colour: alpha and the opaque pixels stay exact.
                if any(shown[k + 3] != rgba[k + 3] or (rgba[k + 3] == 255 and shown[k:k + 3] != rgba[k:k + 3])
                       for k in range(0, len(rgba), 4)):
                    failures.append("%s: the canvas shows other pixels" % name)
        if tiles[-1]["state"] != "error":
            failures.append("the damaged object is %s" % tiles[-1]["state"])
        if not failures and (errors < 2 or done < 40):
            failures.append("%d drawn, %d refused: too few of either" % (done, errors))
        if shots:
            driver.save_screenshot(os.path.join(shots, "web.png"))

        # The large view: drag turns it, Escape closes it.
        shown = "helix_teddy.lwo" if any(f.endswith("/helix_teddy.lwo") for f in files) else os.path.basename(files[1])
        driver.find_element(By.CSS_SELECTOR, ".tile[data-state=done][data-name='%s']" % shown).click()
        view = driver.find_element(By.ID, "view")
        wait_view = lambda: WebDriverWait(driver, 60, 0.1).until(lambda d: view.get_attribute("data-state") == "done")
        wait_view()
        path = next(f for f in files if os.path.basename(f) == shown)
        info = subprocess.run([qavren, "info", "--no-textures", "--angles", "-30,35,0", shown], capture_output=True, text=True,
                              cwd=os.path.dirname(path)).stdout
        WebDriverWait(driver, 10).until(lambda d: d.find_element(By.ID, "report").text)
        if driver.execute_script("return document.getElementById('report').textContent") != info:
            failures.append("the large view's report is not what qavren info says")
        shown_now = lambda: hashlib.sha256(driver.execute_script("return arguments[0].toDataURL()", view).encode()).hexdigest()
        before = (view.get_attribute("data-angles"), shown_now())
        ActionChains(driver).move_to_element(view).click_and_hold().move_by_offset(60, -40).release().perform()
        WebDriverWait(driver, 60, 0.1).until(lambda d: view.get_attribute("data-angles") == "-50,65,0")
        wait_view()
        after = (view.get_attribute("data-angles"), shown_now())
        if after[1] == before[1]:
            failures.append("dragging the large view from %s to %s left the picture as it was" % (before[0], after[0]))
        if shots:
            driver.save_screenshot(os.path.join(shots, "web-view.png"))
        ActionChains(driver).send_keys(Keys.ESCAPE).perform()
        if driver.find_element(By.ID, "viewer").is_displayed():
            failures.append("Escape left the large view open")

        for entry in driver.get_log("browser"):
            if entry["level"] == "SEVERE":
                failures.append("console: %s" % entry["message"])
        # Without WebAssembly the page says so and takes no files.
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": "delete window.WebAssembly"})
        driver.get(origin + "/index.html")
        if "WebAssembly" not in driver.find_element(By.ID, "failure").text or pick_enabled(driver):
            failures.append("without WebAssembly the page does not say so")
        print("web_browser: %d thumbnails as the command draws them, %d refused in its words" % (done, errors))
    finally:
        driver.quit()
        server.shutdown()
    # Every request made for the page, its workers' too, from the browser's
    # network log: those keyed to the page's site (the browser's own update
    # and account checks are not).
    with open(net_log) as log:
        events = json.load(log)["events"]
    subprocess.run(["rm", "-rf", scratch])
    requested = {e["params"]["url"] for e in events if "url" in e.get("params", {}) and
                 "http://127.0.0.1" in e["params"].get("network_isolation_key", "")}
    outside = [u for u in requested if not u.startswith((origin + "/", "blob:", "data:"))]
    if outside or not any(u.endswith("/qavren.wasm") for u in requested):
        failures.append("requests outside the origin %s, or none for the module: %s" % (outside, sorted(requested)))
    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*(os.path.abspath(a) for a in sys.argv[1:4]), sys.argv[4] if len(sys.argv) > 4 else None))
