// The live view in a real browser: headless Chromium loads the page the tool serves
// from the simulated board and uses its controls as a person would.
//
// usage: node view_test.mjs TOOL CAMERAS_DIR OUT_DIR
// Exits 0 when every check passed; prints each failed check and exits 1 otherwise.
import { spawn } from "node:child_process";
import { mkdirSync, readFileSync } from "node:fs";
import path from "node:path";
import puppeteer from "puppeteer-core";

const [tool, camerasDir, outDir] = process.argv.slice(2);
const chromium = process.env.GRABLINE_CHROMIUM || "/usr/bin/chromium";
let failures = 0;

function check(ok, what) {
  console.log(`${ok ? "ok  " : "FAIL"} ${what}`);
  if (!ok) failures++;
}

// The camera file's own size, which the page must show.
function cameraSize(file) {
  const text = readFileSync(path.join(camerasDir, file), "utf8");
  const value = (key) => Number(text.match(new RegExp(`^${key}\\s*=\\s*(\\d+)`, "m"))[1]);
  return { width: value("width"), height: value("height") };
}

// `grabline view` on a free port; resolves when it printed its address.
function startView(args) {
  const env = { ...process.env };
  for (const key of Object.keys(env)) if (/proxy/i.test(key)) delete env[key];
  const child = spawn(tool, ["view", "--port", "0", "--no-open", ...args], { env });
  let out = "";
  let err = "";
  child.stderr.on("data", (d) => (err += d));
  const exited = new Promise((resolve) => child.on("exit", (code) => resolve(code)));
  const url = new Promise((resolve, reject) => {
    child.stdout.on("data", (d) => {
      out += d;
      const match = out.match(/http:\/\/[^\s]+\//);
      if (match) resolve(match[0]);
    });
    exited.then((code) => reject(new Error(`view exited with ${code}: ${err}`)));
  });
  return {
    url,
    // Ctrl-C; resolves to the exit status and what it printed.
    async stop() {
      child.kill("SIGINT");
      const code = await exited;
      return { code, out, err };
    },
  };
}

async function json(url) {
  return (await fetch(url)).json();
}

async function param(base, name) {
  const params = await json(`${base}params?names=${name}`);
  return (params.find((p) => p.name === name) || {}).value;
}

// Waits until `probe` answers true; false after `ms` (a check then fails, the
// test does not hang).
async function until(probe, ms = 10000) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (await probe()) return true;
    await new Promise((r) => setTimeout(r, 50));
  }
  return false;
}

const text = (page, id) => page.$eval(`#${id}`, (e) => e.textContent);

async function colourCamera(browser) {
  const camera = "rgb24.cam";
  const size = cameraSize(camera);
  const view = startView(["--camera", camera]);
  const base = await view.url;
  const page = await browser.newPage();
  await page.setViewport({ width: 1200, height: 860 });
  await page.goto(base);

  check(await until(() => page.$eval("#live", (img, w) => img.naturalWidth === w, size.width)),
    `the image shows the camera's ${size.width} × ${size.height}`);
  check(await page.$eval("#live", (img) => img.naturalHeight) === size.height, "image height");
  const first = Number(await text(page, "frame"));
  check(await until(async () => Number(await text(page, "frame")) > first + 10),
    "the frame number on the page advances");
  check(await until(() => page.$eval("#histogram", (c) => {
    const pixels = c.getContext("2d").getImageData(0, 0, c.width, c.height).data;
    for (let i = 0; i < pixels.length; i += 4) if (pixels[i] || pixels[i + 1] || pixels[i + 2]) return true;
    return false;
  })), "the histogram is drawn");
  check((await text(page, "size")).includes("colour, 8 bits"), "colour and depth are shown");

  // A figure, not a check: whether the grabbing keeps up with a browser watching
  // depends on the machine (and the sanitizers) as much as on the view.
  const watched = await json(base + "status");
  await until(async () => (await json(base + "status")).frames >= watched.frames + 1000);
  const after = await json(base + "status");
  console.log(`info watching: ${after.frames - watched.frames} frames, ` +
    `${after.dropped - watched.dropped} dropped`);

  const lutBefore = await param(base, "lut");
  await page.click("#lut");
  check(await until(async () => (await param(base, "lut")) !== lutBefore),
    `the LUT box changes what /params reports (was ${lutBefore})`);
  await page.click("#lut");
  check(await until(async () => (await param(base, "lut")) === lutBefore), "and back");

  // The value is entered as one input event: the page refreshes the box
  // from /params until the user types, so a selection made by clicking
  // could be replaced before the keys arrive.
  const setBuffers = async (n) => {
    await page.$eval("#buffers", (box, value) => {
      box.value = value;
      box.dispatchEvent(new Event("input"));
    }, String(n));
    await page.click("[data-apply=buffers]");
  };
  await setBuffers(5);
  check(await until(async () => (await param(base, "num_buffers")) === 5),
    "the number of buffers changes what /params reports");
  await setBuffers(1);
  check(await until(async () => (await text(page, "message")).includes(
    "num_buffers: FG_ERR_PARAM_VALUE (5326)")), "a refused value shows the parameter and the code");
  check((await param(base, "num_buffers")) === 5, "and leaves the ring as it was");

  mkdirSync(outDir, { recursive: true });
  await page.screenshot({ path: path.join(outDir, "view.png"), fullPage: true });
  await page.close();

  const end = await view.stop();
  check(end.code === 0, `Ctrl-C ends the view with status 0 (${end.code}) ${end.err}`);
  check(/\d+ frames in [\d.]+ s: .* 0 errors/.test(end.out), `the summary line: ${end.out.trim()}`);
}

async function oneShotCamera(browser) {
  const view = startView(["--camera", "oneshot8.cam"]);
  const base = await view.url;
  const page = await browser.newPage();
  await page.goto(base);
  check(await until(async () => (await page.$eval("#trigger-mode", (e) => e.value)) === "software"),
    "a one-shot camera starts in software trigger mode");
  const before = (await json(base + "status")).frames;
  const answered = page.waitForResponse((r) => r.url().endsWith("/trigger"));
  await page.click("#trigger");
  check((await answered).ok(), "the trigger is taken");
  check((await json(base + "status")).frames === before + 1, "one trigger, exactly one new frame");
  check(await until(async () => Number(await text(page, "frame")) === before + 1),
    "and the page shows it");
  await page.close();
  check((await view.stop()).code === 0, "the one-shot view ends cleanly");
}

const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--no-proxy-server"],
});
try {
  await colourCamera(browser);
  await oneShotCamera(browser);
} catch (e) {
  check(false, `no exception: ${e.stack || e}`);
} finally {
  await browser.close();
}
process.exit(failures === 0 ? 0 : 1);
